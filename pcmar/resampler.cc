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

// The four common layouts; Channels == 0 stands for any other. Division in
// C++ truncates toward zero, as the values must.
template <int Channels, int Bytes>
int layout_value(const std::uint8_t* frame, const WaveInfo& info) {
    if constexpr (Channels == 1 && Bytes == 1) return frame[0] - 128;
    if constexpr (Channels == 1 && Bytes == 2) return sample_at(frame, 2) / 256;
    if constexpr (Channels == 2 && Bytes == 1) return (frame[0] + frame[1] - 256) / 2;
    if constexpr (Channels == 2 && Bytes == 2) return (sample_at(frame, 2) + sample_at(frame + 2, 2)) / 512;
    if constexpr (Channels == 0) return frame_value(frame, info);
}

template <int Channels, int Bytes>
bool resample_layout(SourceReader& file, const WaveInfo& info, ResampleCursor& cursor, std::int8_t* out,
                     std::uint32_t count) {
    const std::uint64_t frame_bytes = std::uint64_t{info.bits / 8u} * info.channels;
    // Frames [first, end) lie in memory from `frames` on.
    const std::uint8_t* frames = nullptr;
    std::uint64_t first = 0, end = 0;
    std::uint64_t frame = cursor.frame, position = cursor.position;
    for (std::uint32_t j = 0; j < count; ++j) {
        if (frame < first || frame >= end) {
            std::span<const std::uint8_t> bytes =
                reader_bytes(file, info.samples + frame * frame_bytes, static_cast<std::size_t>(frame_bytes));
            if (bytes.empty()) return false;
            frames = bytes.data();
            first = frame;
            end = frame + bytes.size() / frame_bytes;
        }
        position += cursor.step;
        out[j] = static_cast<std::int8_t>(layout_value<Channels, Bytes>(frames + (frame - first) * frame_bytes, info));
        frame += position / kOne;
        position %= kOne;
    }
    cursor.frame = frame;
    cursor.position = position;
    return true;
}

}  // namespace

std::uint64_t resample_step(std::uint32_t input_rate, std::int32_t output_rate) {
    if (output_rate <= 0) return 0;
    return std::uint64_t{input_rate} * kOne / static_cast<std::uint64_t>(output_rate);
}

int frame_value(const std::uint8_t* frame, const WaveInfo& info) {
    const int bytes = info.bits / 8;
    std::int64_t sum = 0;
    for (std::uint32_t channel = 0; channel < info.channels; ++channel) sum += sample_at(frame + channel * bytes, bytes);
    // Mean of the channels, scaled from `bits` to 8 bits in one division.
    std::int64_t divisor = std::int64_t{info.channels} << (info.bits - 8);
    return static_cast<int>(sum / divisor);
}

ResampleCursor start_resampling(const WaveInfo& info, std::int32_t output_rate) {
    ResampleCursor cursor;
    cursor.step = resample_step(info.input_rate, output_rate);
    return cursor;
}

bool resample_next(SourceReader& file, const WaveInfo& info, ResampleCursor& cursor, std::int8_t* out,
                   std::uint32_t count) {
    // With fewer than 8 bits or no channels there are no frames, and no
    // samples are ever asked for.
    if (count == 0) return true;
    const int bytes = info.bits / 8;
    if (info.channels == 1 && bytes == 1) return resample_layout<1, 1>(file, info, cursor, out, count);
    if (info.channels == 1 && bytes == 2) return resample_layout<1, 2>(file, info, cursor, out, count);
    if (info.channels == 2 && bytes == 1) return resample_layout<2, 1>(file, info, cursor, out, count);
    if (info.channels == 2 && bytes == 2) return resample_layout<2, 2>(file, info, cursor, out, count);
    return resample_layout<0, 0>(file, info, cursor, out, count);
}

bool resample_to_s8(SourceReader& file, const WaveInfo& info, std::int32_t output_rate, std::uint32_t count,
                    std::int8_t* out) {
    ResampleCursor cursor = start_resampling(info, output_rate);
    return resample_next(file, info, cursor, out, count);
}
