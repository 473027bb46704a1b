#include "source_file.h"

#include <algorithm>
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

// Opens `path` for binary reading. A directory opens for reading on some
// systems and seeks to a huge "size"; it is no file to convert.
std::FILE* open_file(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return nullptr;
    return std::fopen(path.c_str(), "rb");
}

// The length of `file`, found by seeking to its end; the file is left at
// its start. False when it cannot be sought.
bool seek_length(std::FILE* file, std::uint64_t& length) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) return false;
    length = static_cast<std::uint64_t>(end);
    return true;
}

}  // namespace

LoadStatus load_source(const std::string& path, SourceBuffer& out) {
    std::unique_ptr<std::FILE, FileCloser> file(open_file(path));
    std::uint64_t length = 0;
    if (!file || !seek_length(file.get(), length)) return LoadStatus::cannot_open;

    SourceBuffer loaded;
    LoadStatus status = allocate(length, loaded);
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

SourceReader memory_reader(ByteView source) {
    SourceReader reader;
    reader.memory = source;
    reader.length = source.length;
    return reader;
}

LoadStatus open_reader(const std::string& path, SourceReader& out, std::size_t window_capacity) {
    std::FILE* file = open_file(path);
    if (!file) return LoadStatus::cannot_open;
    return attach_reader(file, out, window_capacity);
}

LoadStatus attach_reader(std::FILE* file, SourceReader& out, std::size_t window_capacity) {
    // The window is the only buffer: each refill is one read of the file.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::uint64_t length = 0;
    if (!seek_length(file, length)) {
        std::fclose(file);
        return LoadStatus::cannot_open;
    }
    std::unique_ptr<std::uint8_t[]> window(new (std::nothrow) std::uint8_t[window_capacity]);
    if (!window) {
        std::fclose(file);
        return LoadStatus::out_of_memory;
    }
    close_reader(out);
    out.file = file;
    out.length = length;
    out.window = std::move(window);
    out.window_capacity = window_capacity;
    return LoadStatus::ok;
}

LoadStatus open_input(const std::string& path, const std::string& output_path, SourceBuffer& whole,
                      SourceReader& reader, std::size_t window_capacity) {
    std::error_code ignored;
    if (!std::filesystem::equivalent(path, output_path, ignored)) return open_reader(path, reader, window_capacity);
    LoadStatus status = load_source(path, whole);
    if (status == LoadStatus::ok) reader = memory_reader(view_of(whole));
    return status;
}

SourceReader share_reader(SourceReader& lender, std::size_t window_capacity) {
    SourceReader reader;
    reader.memory = lender.memory;
    reader.file = lender.file;
    reader.length = lender.length;
    reader.window_capacity = window_capacity;
    reader.borrowed = true;
    reader.shared = true;
    lender.shared = true;
    return reader;
}

void close_reader(SourceReader& reader) {
    if (reader.file && !reader.borrowed) std::fclose(reader.file);
    reader = SourceReader{};
}

namespace {

// Fills the window with the file's bytes from `pos` on, at least `count`
// of them (zeros past the end of the file).
bool refill(SourceReader& reader, std::uint64_t pos, std::size_t count) {
    if (!reader.window || count > reader.window_capacity) {
        std::size_t capacity = std::max<std::size_t>({count, reader.window_capacity, 64});
        reader.window.reset(new (std::nothrow) std::uint8_t[capacity]);
        reader.window_size = 0;
        if (!reader.window) return false;
        reader.window_capacity = capacity;
    }
    std::uint64_t remaining = pos < reader.length ? reader.length - pos : 0;
    auto present = static_cast<std::size_t>(std::min<std::uint64_t>(reader.window_capacity, remaining));
    std::uint8_t* window = reader.window.get();
    if (reader.file) {
        // Reading on from where the last read ended needs no seek, unless
        // another reader of the file may have read in between.
        bool follows = !reader.shared && reader.window_size != 0 && pos == reader.window_begin + reader.window_size;
        if (present != 0 && !follows && std::fseek(reader.file, static_cast<long>(pos), SEEK_SET) != 0)
            return false;
        if (std::fread(window, 1, present, reader.file) != present) return false;
    } else if (present != 0) {
        std::memcpy(window, reader.memory.data + pos, present);
    }
    std::size_t size = std::max(present, count);
    std::memset(window + present, 0, size - present);
    reader.window_begin = pos;
    reader.window_size = size;
    return true;
}

}  // namespace

std::span<const std::uint8_t> reader_bytes(SourceReader& reader, std::uint64_t pos, std::size_t count) {
    if (pos >= reader.window_begin && pos - reader.window_begin + count <= reader.window_size) {
        auto offset = static_cast<std::size_t>(pos - reader.window_begin);
        return {reader.window.get() + offset, reader.window_size - offset};
    }
    if (!reader.file && pos <= reader.memory.length && count <= reader.memory.length - pos)
        return {reader.memory.data + pos, static_cast<std::size_t>(reader.memory.length - pos)};
    if (!refill(reader, pos, count)) {
        reader.failed = true;
        reader.window_size = 0;
        return {};
    }
    return {reader.window.get(), reader.window_size};
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
