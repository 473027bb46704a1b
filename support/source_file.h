// Loading a whole source file into memory, and naming the assembler file
// and symbol that a conversion of it produces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

// True when the `count` bytes starting at `pos` all lie inside the file.
inline bool holds(ByteView view, std::uint64_t pos, std::uint64_t count) {
    return pos <= view.length && count <= view.length - pos;
}

// True when the four bytes at `pos` spell `tag` (bytes past the end read 0).
bool tag_at(ByteView view, std::uint64_t pos, const char (&tag)[5]);

struct OutputNames {
    std::string output_path;  // the input path with its extension replaced by ".s"
    std::string label;        // the base name without its extension
};

OutputNames derive_output_names(std::string_view path);
