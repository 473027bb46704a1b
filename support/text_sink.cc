#include "text_sink.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

TextSink memory_sink() { return TextSink{}; }

TextSink file_sink(std::FILE* file, std::size_t flush_at) {
    TextSink sink;
    sink.file = file;
    sink.flush_at = flush_at;
    return sink;
}

TextSink output_file_sink(std::FILE* file) {
    std::setvbuf(file, nullptr, _IONBF, 0);
    TextSink sink = file_sink(file, kOutputChunk);
    // Room for a full chunk and the longest piece written in one go.
    sink_grow(sink, kOutputChunk + 4096);
    return sink;
}

void sink_grow(TextSink& sink, std::size_t bytes) {
    std::size_t capacity = std::max({sink.capacity * 2, sink.size + bytes, std::size_t{256}});
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (sink.size != 0) std::memcpy(grown.get(), sink.data.get(), sink.size);
    sink.data = std::move(grown);
    sink.capacity = capacity;
}

bool sink_flush(TextSink& sink) {
    if (!sink.file) return !sink.failed;
    if (sink.size != 0) {
        std::size_t done = std::fwrite(sink.data.get(), 1, sink.size, sink.file);
        if (done != sink.size) sink.failed = true;
        sink.passed += done;
        sink.size = 0;
    }
    if (sink.flush_at == 0 && std::fflush(sink.file) != 0) sink.failed = true;
    return !sink.failed;
}

void sink_write(TextSink& sink, std::string_view text) {
    char* room = sink_room(sink, text.size());
    if (!text.empty()) std::memcpy(room, text.data(), text.size());
    sink_advance(sink, room + text.size());
}

char* format_int(char* out, std::int64_t value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // Work on the magnitude as unsigned so that INT64_MIN does not overflow.
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (value < 0) *out++ = '-';
    static constexpr std::uint64_t kPowersOfTen[] = {
        10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u, 10000000000u,
        100000000000u, 1000000000000u, 10000000000000u, 100000000000000u, 1000000000000000u,
        10000000000000000u, 100000000000000000u, 1000000000000000000u, 10000000000000000000u};
    std::size_t digits = 1;
    while (digits < 20 && magnitude >= kPowersOfTen[digits - 1]) ++digits;
    // Two digits at a time, from the right, straight into place.
    char* const end = out + digits;
    char* p = end;
    while (magnitude >= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        std::memcpy(p - 2, kPairs + 2 * magnitude, 2);
    } else {
        p[-1] = static_cast<char>('0' + magnitude);
    }
    return end;
}

void sink_write_int(TextSink& sink, std::int64_t value) {
    char* room = sink_room(sink, 20);
    sink_advance(sink, format_int(room, value));
}

void sink_printf(TextSink& sink, const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        sink_write(sink, std::string_view(small, static_cast<std::size_t>(needed)));
    } else {
        std::string large(static_cast<std::size_t>(needed) + 1, '\0');
        std::vsnprintf(large.data(), large.size(), format, again);
        large.pop_back();
        sink_write(sink, large);
    }
    va_end(again);
}
