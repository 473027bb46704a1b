#include "wave_reader.h"

#include <cstring>

namespace {

// Offsets of the fields of the canonical header that the reader uses.
constexpr std::uint64_t kFormatTag = 20;
constexpr std::uint64_t kChannels = 22;
constexpr std::uint64_t kSampleRate = 24;
constexpr std::uint64_t kBitsPerSample = 34;
constexpr std::uint64_t kHeaderFieldsEnd = 36;
constexpr std::uint64_t kFormatSize = 16;
constexpr std::uint64_t kChunkHeadSize = 8;

// Past this distance to the nearest table rate no rate is chosen, which
// leaves rates of 128000 Hz and more without one.
constexpr std::uint32_t kWorstDistance = 96000;

std::uint32_t le16(ByteView file, std::uint64_t pos) {
    return static_cast<std::uint32_t>(byte_at(file, pos) | byte_at(file, pos + 1) << 8);
}

std::uint32_t le32(ByteView file, std::uint64_t pos) { return le16(file, pos) | le16(file, pos + 2) << 16; }

bool supported_bits(std::uint32_t bits) {
    // Below 8 bits a sample takes no whole byte and the count is 0; the rest
    // must be whole bytes the resampler can read.
    return bits < 8 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The five layout checks, in the order their messages are reported, on
// the header fields and the head of the chunk after "fmt ". Both read as 0
// past the end of the file, so a short file fails the first check that its
// bytes do not meet.
WaveStatus check_layout(ByteView header, ByteView data_head) {
    if (!tag_at(header, 0, "RIFF")) return WaveStatus::no_riff;
    if (!tag_at(header, 8, "WAVE")) return WaveStatus::no_wave;
    if (!tag_at(header, 12, "fmt ")) return WaveStatus::no_fmt;
    if (le16(header, kFormatTag) != 1) return WaveStatus::not_pcm;
    if (!tag_at(data_head, 0, "data")) return WaveStatus::no_data;
    return WaveStatus::ok;
}

WaveStatus read_info(SourceReader& file, WaveInfo& info, TextSink& errors) {
    std::span<const std::uint8_t> fields = reader_bytes(file, 0, kHeaderFieldsEnd);
    if (fields.empty()) return WaveStatus::unreadable;
    // Copied: the next read may move the window.
    std::uint8_t header_bytes[kHeaderFieldsEnd];
    std::memcpy(header_bytes, fields.data(), kHeaderFieldsEnd);
    const ByteView header{header_bytes, kHeaderFieldsEnd};

    // Only a RIFF/WAVE/"fmt " file with the PCM tag has a size worth following.
    std::uint64_t data_chunk = kFormatTag + le32(header, kFormatSize);
    std::uint8_t data_bytes[kChunkHeadSize] = {};
    if (tag_at(header, 0, "RIFF") && tag_at(header, 8, "WAVE") && tag_at(header, 12, "fmt ") &&
        le16(header, kFormatTag) == 1) {
        std::span<const std::uint8_t> head = reader_bytes(file, data_chunk, kChunkHeadSize);
        if (head.empty()) return WaveStatus::unreadable;
        std::memcpy(data_bytes, head.data(), kChunkHeadSize);
    }
    const ByteView data_head{data_bytes, kChunkHeadSize};

    WaveStatus status = check_layout(header, data_head);
    if (status != WaveStatus::ok) return status;
    if (file.length < kHeaderFieldsEnd || data_chunk + kChunkHeadSize > file.length)
        return WaveStatus::unexpected_end;

    info.input_rate = le32(header, kSampleRate);
    info.bits = static_cast<std::uint16_t>(le16(header, kBitsPerSample));
    info.channels = static_cast<std::uint16_t>(le16(header, kChannels));
    info.data_size = le32(data_head, 4);
    info.samples = data_chunk + kChunkHeadSize;
    if (!supported_bits(info.bits)) return WaveStatus::unsupported_bits;

    // A file cut short keeps the samples it still has.
    std::uint64_t present = file.length - info.samples;
    if (info.data_size > present) {
        info.data_size = static_cast<std::uint32_t>(present);
        sink_printf(errors, "Warning: Data chunk truncated to %u bytes.\n", info.data_size);
    }
    return WaveStatus::ok;
}

void report_error(WaveStatus status, const WaveInfo& info, TextSink& errors) {
    switch (status) {
        case WaveStatus::ok:
        case WaveStatus::unreadable: break;
        case WaveStatus::no_riff: sink_write(errors, "Error: Can't find RIFF groupID."); break;
        case WaveStatus::no_wave: sink_write(errors, "Error: Can't find WAVE typeID."); break;
        case WaveStatus::no_fmt: sink_write(errors, "Error: Can't find Format chunkID."); break;
        case WaveStatus::not_pcm: sink_write(errors, "Error: This file is not Microsoft PCM format."); break;
        case WaveStatus::no_data: sink_write(errors, "Error: Can't find Data chunkID."); break;
        case WaveStatus::unexpected_end: sink_write(errors, "Error: Unexpected end of file.\n"); break;
        case WaveStatus::unsupported_bits:
            sink_printf(errors, "Error: Unsupported sample size %u bits.\n", unsigned{info.bits});
            break;
        case WaveStatus::unsupported_rate:
            sink_printf(errors, "Error: Unsupported sampling rate %uHz.\n", info.input_rate);
            break;
    }
}

}  // namespace

bool choose_rate(std::uint32_t input_rate, ConversionSettings& settings) {
    std::uint32_t best = kWorstDistance;
    for (std::int32_t index = 0; index < 4; ++index) {
        auto entry = static_cast<std::uint32_t>(kRateTable[index]);
        std::uint32_t distance = input_rate > entry ? input_rate - entry : entry - input_rate;
        if (distance < best) {
            best = distance;
            settings.rate_index = index;
            settings.output_rate = kRateTable[index];
        }
    }
    return best < kWorstDistance;
}

std::uint32_t output_sample_count(const WaveInfo& info, std::int32_t output_rate) {
    // data size x rate < 2^32 x 2^31, and the divisor < 2^2 x 2^16 x 2^32:
    // both fit 64 bits, so the quotient is exact.
    std::uint64_t divisor = std::uint64_t{info.bits / 8u} * info.channels * info.input_rate;
    if (divisor == 0 || output_rate <= 0) return 0;
    return static_cast<std::uint32_t>(std::uint64_t{info.data_size} * static_cast<std::uint64_t>(output_rate) /
                                      divisor);
}

WaveStatus parse_wave(SourceReader& file, WaveInfo& info, ConversionSettings& settings, TextSink& report,
                      TextSink& errors) {
    info = WaveInfo{};
    WaveStatus status = read_info(file, info, errors);
    if (status == WaveStatus::ok && settings.rate_index < 0 && !choose_rate(info.input_rate, settings))
        status = WaveStatus::unsupported_rate;
    if (status != WaveStatus::ok) {
        report_error(status, info, errors);
        return status;
    }
    settings.output_count = output_sample_count(info, settings.output_rate);
    sink_printf(report, "in :%dHz, %dbytes %dbits %dch\n", static_cast<int>(info.input_rate),
                static_cast<int>(info.data_size), int{info.bits}, int{info.channels});
    sink_printf(report, "out:%dHz, %dbytes 8bits 1ch\n", settings.output_rate,
                static_cast<int>(settings.output_count));
    return WaveStatus::ok;
}
