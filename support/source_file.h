// Loading a whole source file into memory, and naming the assembler file
// and symbol that a conversion of it produces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// Bytes past the end of a file that every buffer carries, zero-filled, so
// that a reader stepping a little past a short file sees zeros.
inline constexpr std::size_t kSpareBytes = 16;

// One input file held whole in memory. `bytes` holds `length` file bytes
// followed by kSpareBytes zero bytes.
struct SourceBuffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t length = 0;
};

enum class LoadStatus { ok, cannot_open, out_of_memory };

// Reads the file at `path` into `out`. A read that returns fewer bytes than
// the size found by seeking counts as cannot_open; a file too large to be
// described by a 32-bit length counts as out_of_memory.
LoadStatus load_source(const std::string& path, SourceBuffer& out);

// Copies `data` into a SourceBuffer, as load_source would have loaded it.
// Tests and fuzzers use it to convert bytes without touching the disk.
LoadStatus make_source(std::string_view data, SourceBuffer& out);

// A read-only view of a loaded file in which every byte at or past its end
// reads as 0, however far past. Offsets are 64-bit so that sums of header
// fields cannot wrap around into the file.
struct ByteView {
    const std::uint8_t* data = nullptr;
    std::uint64_t length = 0;
};

inline ByteView view_of(const SourceBuffer& source) {
    return ByteView{source.bytes.get(), source.length};
}

inline std::uint8_t byte_at(ByteView view, std::uint64_t pos) {
    return pos < view.length ? view.data[pos] : 0;
}

// True when the four bytes at `pos` spell `tag` (bytes past the end read 0).
bool tag_at(ByteView view, std::uint64_t pos, const char (&tag)[5]);

// Reads a source file piece by piece, through a window that moves forward
// as the reader does, so a large file never has to be in memory whole (and
// a reader never pays for touching all of it at once). A source already in
// memory is read in place. Bytes at or past the end of the file read as 0.
struct SourceReader {
    ByteView memory;             // the whole file, when it is in memory
    std::FILE* file = nullptr;   // otherwise the open file
    std::uint64_t length = 0;    // of the file
    std::unique_ptr<std::uint8_t[]> window;
    std::size_t window_capacity = 0;
    std::uint64_t window_begin = 0;
    std::size_t window_size = 0;  // bytes of the file in the window, zeros after
    bool failed = false;          // a read of the file failed
    bool borrowed = false;        // the file belongs to another reader
    bool shared = false;          // other readers move the file's position too
};

// Reads `source` in place.
SourceReader memory_reader(ByteView source);

inline constexpr std::size_t kDefaultWindow = 1 << 20;

// Opens `path` for reading through a window of at least `window_capacity`
// bytes. cannot_open when it cannot be opened or sought, out_of_memory when
// the window cannot be had. The reader owns the file from then on.
LoadStatus open_reader(const std::string& path, SourceReader& out, std::size_t window_capacity = kDefaultWindow);

// As open_reader, for a file already open for binary reading; the reader
// owns (and on failure closes) it.
LoadStatus attach_reader(std::FILE* file, SourceReader& out, std::size_t window_capacity = kDefaultWindow);

// A second reader of the source of `lender`, with a window of its own, so
// that two places of one file can be read in turn. It borrows the file:
// `lender` must stay open while it is used.
SourceReader share_reader(SourceReader& lender, std::size_t window_capacity);

void close_reader(SourceReader& reader);

// The bytes from `pos` on, at least `count` of them, valid until the next
// call; past the end of the file they read as 0. Often more than `count`
// follow in one piece. Empty only when the file cannot be read or `count`
// bytes cannot be buffered.
std::span<const std::uint8_t> reader_bytes(SourceReader& reader, std::uint64_t pos, std::size_t count);


// The `count` bytes at `pos` when they all lie inside the file, else null
// (also when the file cannot be read: see `failed`). The window is checked
// first, inline, as readers call this for every few bytes.
inline const std::uint8_t* file_bytes(SourceReader& reader, std::uint64_t pos, std::size_t count) {
    if (pos > reader.length || count > reader.length - pos) return nullptr;
    if (pos >= reader.window_begin && pos - reader.window_begin + count <= reader.window_size)
        return reader.window.get() + (pos - reader.window_begin);
    if (!reader.file) return reader.memory.data + pos;
    std::span<const std::uint8_t> bytes = reader_bytes(reader, pos, count);
    return bytes.empty() ? nullptr : bytes.data();
}

// Opens `path` for reading as open_reader does; but an input that is also
// the output about to be written (`output_path` names the same file) is
// loaded whole into `whole` first, as writing the output replaces it.
LoadStatus open_input(const std::string& path, const std::string& output_path, SourceBuffer& whole,
                      SourceReader& reader, std::size_t window_capacity = kDefaultWindow);

struct OutputNames {
    std::string output_path;  // the input path with its extension replaced by ".s"
    std::string label;        // the base name without its extension
};

OutputNames derive_output_names(std::string_view path);
