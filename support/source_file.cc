#include "source_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace {

// Largest file whose length, plus the spare bytes, still fits the 32-bit
// length that the readers work with.
constexpr std::uint64_t kMaxFileLength = UINT32_MAX - kSpareBytes;

LoadStatus allocate(std::uint64_t length, SourceBuffer& out) {
    if (length > kMaxFileLength) return LoadStatus::out_of_memory;
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[length + kSpareBytes]);
    if (!bytes) return LoadStatus::out_of_memory;
    std::memset(bytes.get() + length, 0, kSpareBytes);
    out.bytes = std::move(bytes);
    out.length = static_cast<std::uint32_t>(length);
    return LoadStatus::ok;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

LoadStatus load_source(const std::string& path, SourceBuffer& out) {
    // A directory opens for reading on some systems and seeks to a huge
    // "size"; it is no file to convert.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return LoadStatus::cannot_open;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return LoadStatus::cannot_open;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return LoadStatus::cannot_open;
    long end = std::ftell(file.get());
    if (end < 0) return LoadStatus::cannot_open;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return LoadStatus::cannot_open;

    SourceBuffer loaded;
    LoadStatus status = allocate(static_cast<std::uint64_t>(end), loaded);
    if (status != LoadStatus::ok) return status;
    if (std::fread(loaded.bytes.get(), 1, loaded.length, file.get()) != loaded.length)
        return LoadStatus::cannot_open;
    out = std::move(loaded);
    return LoadStatus::ok;
}

LoadStatus make_source(std::string_view data, SourceBuffer& out) {
    LoadStatus status = allocate(data.size(), out);
    if (status == LoadStatus::ok && !data.empty()) std::memcpy(out.bytes.get(), data.data(), data.size());
    return status;
}

bool tag_at(ByteView view, std::uint64_t pos, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        if (byte_at(view, pos + i) != static_cast<std::uint8_t>(tag[i])) return false;
    return true;
}

OutputNames derive_output_names(std::string_view path) {
    // The base name follows the last "/"; only a path without any "/" falls
    // back to "\" as its separator.
    std::size_t base = 0;
    std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) {
        base = slash + 1;
    } else {
        std::size_t backslash = path.rfind('\\');
        if (backslash != std::string_view::npos) base = backslash + 1;
    }
    // A "." before the base name belongs to a directory ("../song",
    // "dir.v2/song"), so such a path has no extension.
    std::size_t ext = path.rfind('.');
    if (ext == std::string_view::npos || ext < base) ext = path.size();

    OutputNames names;
    names.output_path.assign(path.substr(0, ext));
    names.output_path += ".s";
    names.label.assign(path.substr(base, ext - base));
    return names;
}
