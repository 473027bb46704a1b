#include "pcmar.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "resampler.h"

namespace {

constexpr std::size_t kSamplesPerLine = 16;

// A number the way the C library's atoi reads it: white space, a sign,
// digits up to the first other character; no digits read as 0.
std::int32_t read_number(const char* text) {
    return static_cast<std::int32_t>(std::strtol(text, nullptr, 10));
}

// "0x%02x," for every byte value, each in 8 bytes so that it can be copied
// with one 8-byte move; only the first 5 bytes count.
struct SampleTexts {
    char text[256][8];
    SampleTexts() {
        for (int value = 0; value < 256; ++value) {
            std::memcpy(text[value], "0x", 2);
            std::memcpy(text[value] + 2, hex_pair(static_cast<std::uint8_t>(value)), 2);
            std::memcpy(text[value] + 4, ",\0\0\0", 4);
        }
    }
};

}  // namespace

void write_sample_lines(TextSink& out, const std::int8_t* samples, std::uint32_t count) {
    static const SampleTexts texts;
    // 3 spare bytes because each 8-byte move writes past the 5 bytes it means.
    constexpr std::size_t kLineRoom = 6 + kSamplesPerLine * 5 + 3;
    for (std::uint32_t start = 0; start < count; start += kSamplesPerLine) {
        std::uint32_t n = count - start < kSamplesPerLine ? count - start : kSamplesPerLine;
        char* p = sink_room(out, kLineRoom);
        std::memcpy(p, ".byte ", 6);
        p += 6;
        for (std::uint32_t i = 0; i < n; ++i, p += 5)
            std::memcpy(p, texts.text[static_cast<std::uint8_t>(samples[start + i])], 8);
        p[-1] = '\n';
        sink_advance(out, p);
    }
}

std::size_t parse_options(std::span<const char* const> args, ConversionSettings& settings) {
    std::size_t i = 0;
    for (; i < args.size() && args[i][0] == '-'; ++i) {
        const char* arg = args[i];
        if (arg[1] == '\0' || arg[2] == '\0') continue;  // "-", or a letter with no value
        std::int32_t n = read_number(arg + 2);
        if (arg[1] == 'f' && n >= 0 && n <= 3) {
            settings.rate_index = n;
            settings.output_rate = kRateTable[n];
        } else if (arg[1] == 'l') {
            settings.loop_point = n;
        }
    }
    return i;
}

std::uint32_t output_loop_point(std::int32_t loop_point, std::int32_t output_rate, std::uint32_t input_rate) {
    if (loop_point == -1) return UINT32_MAX;
    if (input_rate == 0) return 0;
    // Both factors are below 2^32, so the product fits 64 bits.
    std::uint64_t product = std::uint64_t{static_cast<std::uint32_t>(loop_point)} * static_cast<std::uint32_t>(output_rate);
    return static_cast<std::uint32_t>(product / input_rate);
}

bool write_sample_object(TextSink& out, const std::string& label, SourceReader& file, const WaveInfo& info,
                         const ConversionSettings& settings) {
    std::uint32_t loop = output_loop_point(settings.loop_point, settings.output_rate, info.input_rate);
    sink_printf(out, "\t.section\t.rodata\n\t.align\t4\n\t.global\t%s\n\t.type\t%s, object\n\n%s:\n",
                label.c_str(), label.c_str(), label.c_str());
    sink_printf(out, ".long %d\n.long 0x%x\n.word %d\n.word 0\n", static_cast<int>(settings.output_count), loop,
                settings.rate_index);

    // Resampled a block at a time; a block is whole lines, so the lines
    // come out as if the samples had been written in one go.
    std::int8_t block[kSamplesPerLine * 256];
    ResampleCursor cursor = start_resampling(info, settings.output_rate);
    for (std::uint32_t done = 0; done < settings.output_count;) {
        std::uint32_t n = std::min<std::uint32_t>(settings.output_count - done, sizeof block);
        if (!resample_next(file, info, cursor, block, n)) return false;
        write_sample_lines(out, block, n);
        done += n;
    }
    sink_write(out, "\t.ident \"pcmar\"\n");
    return true;
}
