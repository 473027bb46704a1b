#include "text_sink.h"

#include <cstdarg>

TextSink memory_sink() { return TextSink{}; }

TextSink file_sink(std::FILE* file, std::size_t flush_at) {
    TextSink sink;
    sink.file = file;
    sink.flush_at = flush_at;
    return sink;
}

bool sink_flush(TextSink& sink) {
    if (!sink.file) return !sink.failed;
    if (!sink.buffer.empty()) {
        if (std::fwrite(sink.buffer.data(), 1, sink.buffer.size(), sink.file) != sink.buffer.size())
            sink.failed = true;
        sink.buffer.clear();
    }
    if (sink.flush_at == 0 && std::fflush(sink.file) != 0) sink.failed = true;
    return !sink.failed;
}

void sink_write_int(TextSink& sink, std::int64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    // Work on the magnitude as unsigned so that INT64_MIN does not overflow.
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    sink_write(sink, std::string_view(p, static_cast<std::size_t>(end - p)));
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
