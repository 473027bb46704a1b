#include "resampler.h"

namespace {

constexpr std::uint64_t kOne = 65536;  // one frame in position units

std::int32_t sample_at(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0] - 128;  // 8-bit samples are unsigned
        case 2: return static_cast<std::int16_t>(p[0] | p[1] << 8);
        case 3: return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8;
        default:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                             static_cast<std::uint32_t>(p[2]) << 16 |
                                             static_cast<std::uint32_t>(p[3]) << 24);
    }
}

// The four common layouts, read straight from memory known to hold the
// whole frame. Division in C++ truncates toward zero, as the values must.
template <int Channels, int Bytes>
int common_frame_value(const std::uint8_t* frame) {
    if constexpr (Channels == 1 && Bytes == 1) return frame[0] - 128;
    if constexpr (Channels == 1 && Bytes == 2) return sample_at(frame, 2) / 256;
    if constexpr (Channels == 2 && Bytes == 1) return (frame[0] + frame[1] - 256) / 2;
    if constexpr (Channels == 2 && Bytes == 2) return (sample_at(frame, 2) + sample_at(frame + 2, 2)) / 512;
}

template <int Channels, int Bytes>
void resample_common(ByteView file, const WaveInfo& info, std::uint64_t step, std::uint32_t count,
                     std::int8_t* out) {
    constexpr std::uint64_t frame_bytes = Channels * Bytes;
    // Frames that lie whole inside the file; only a partial last frame at
    // the very end needs the slow path that reads zeros past the end.
    const std::uint64_t whole = (file.length - info.samples) / frame_bytes;
    const std::uint8_t* samples = file.data + info.samples;
    std::uint64_t frame = 0, position = 0;
    for (std::uint32_t j = 0; j < count; ++j) {
        position += step;
        int value = frame < whole ? common_frame_value<Channels, Bytes>(samples + frame * frame_bytes)
                                  : frame_value(file, info.samples + frame * frame_bytes, info);
        out[j] = static_cast<std::int8_t>(value);
        frame += position / kOne;
        position %= kOne;
    }
}

void resample_any(ByteView file, const WaveInfo& info, std::uint64_t step, std::uint32_t count,
                  std::int8_t* out) {
    const std::uint64_t frame_bytes = std::uint64_t{info.bits / 8u} * info.channels;
    std::uint64_t frame = 0, position = 0;
    for (std::uint32_t j = 0; j < count; ++j) {
        position += step;
        out[j] = static_cast<std::int8_t>(frame_value(file, info.samples + frame * frame_bytes, info));
        frame += position / kOne;
        position %= kOne;
    }
}

}  // namespace

std::uint64_t resample_step(std::uint32_t input_rate, std::int32_t output_rate) {
    if (output_rate <= 0) return 0;
    return std::uint64_t{input_rate} * kOne / static_cast<std::uint64_t>(output_rate);
}

int frame_value(ByteView file, std::uint64_t offset, const WaveInfo& info) {
    const int bytes = info.bits / 8;
    std::int64_t sum = 0;
    for (std::uint32_t channel = 0; channel < info.channels; ++channel) {
        std::uint8_t sample[4];
        for (int i = 0; i < bytes; ++i) sample[i] = byte_at(file, offset + channel * std::uint64_t(bytes) + i);
        sum += sample_at(sample, bytes);
    }
    // Mean of the channels, scaled from `bits` to 8 bits in one division.
    std::int64_t divisor = std::int64_t{info.channels} << (info.bits - 8);
    return static_cast<int>(sum / divisor);
}

void resample_to_s8(ByteView file, const WaveInfo& info, std::int32_t output_rate, std::uint32_t count,
                    std::int8_t* out) {
    if (count == 0) return;
    const std::uint64_t step = resample_step(info.input_rate, output_rate);
    const int bytes = info.bits / 8;
    if (info.channels == 1 && bytes == 1) return resample_common<1, 1>(file, info, step, count, out);
    if (info.channels == 1 && bytes == 2) return resample_common<1, 2>(file, info, step, count, out);
    if (info.channels == 2 && bytes == 1) return resample_common<2, 1>(file, info, step, count, out);
    if (info.channels == 2 && bytes == 2) return resample_common<2, 2>(file, info, step, count, out);
    resample_any(file, info, step, count, out);
}
