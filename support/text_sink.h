// A byte sink for the converters' text: the output file, standard output or
// standard error in the programs, memory in tests and fuzzers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

struct TextSink {
    std::unique_ptr<char[]> data;  // text written but not yet passed to `file`
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::FILE* file = nullptr;  // null: the text stays in memory
    // Pass the text on to `file` once this many bytes are held; 0 passes
    // every write on at once (used for messages, so that they interleave
    // with other output in the order they were made).
    std::size_t flush_at = 1 << 16;
    bool failed = false;        // a write to `file` failed
    std::uint64_t passed = 0;   // bytes written to `file` so far
};

TextSink memory_sink();
TextSink file_sink(std::FILE* file, std::size_t flush_at = 1 << 16);

// Bytes an output sink hands to its file at once: few enough writes that
// their cost does not count, and a buffer that still fits in the cache.
inline constexpr std::size_t kOutputChunk = 256 << 10;

// A sink for a converter's output file. The sink is the only buffer: the
// file's own buffering is turned off, so each pass is one write.
TextSink output_file_sink(std::FILE* file);

// The text held (for a memory sink, all that was written).
inline std::string_view sink_text(const TextSink& sink) { return {sink.data.get(), sink.size}; }

// Hands the held text to the file. Returns false once any write failed.
bool sink_flush(TextSink& sink);

// Makes room for at least `bytes` more bytes after the text.
void sink_grow(TextSink& sink, std::size_t bytes);

// Writing in place: text is put at sink_room(sink, n), at most n bytes of
// it, and sink_advance then takes it in up to `end`.
inline char* sink_room(TextSink& sink, std::size_t bytes) {
    if (sink.capacity - sink.size < bytes) sink_grow(sink, bytes);
    return sink.data.get() + sink.size;
}

inline void sink_advance(TextSink& sink, char* end) {
    sink.size = static_cast<std::size_t>(end - sink.data.get());
    if (sink.file && sink.size >= sink.flush_at) sink_flush(sink);
}

void sink_write(TextSink& sink, std::string_view text);

// Writes the decimal form of `value` (as printf's "%d" or "%u") at `out`
// and returns its end; at most 20 characters.
char* format_int(char* out, std::int64_t value);

// Appends the decimal form of `value` (as printf's "%d" or "%u").
void sink_write_int(TextSink& sink, std::int64_t value);

// Appends printf-style text. For the few places where speed does not count.
[[gnu::format(printf, 2, 3)]] void sink_printf(TextSink& sink, const char* format, ...);

// Two lower-case hexadecimal digits of a byte, as "%02x" gives them.
inline const char* hex_pair(std::uint8_t value) {
    static constexpr char kPairs[] =
        "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
        "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f"
        "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f"
        "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f"
        "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f"
        "a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4b5b6b7b8b9babbbcbdbebf"
        "c0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedf"
        "e0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
    return kPairs + 2 * value;
}
