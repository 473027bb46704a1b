// Sample-and-hold resampling of PCM frames to signed 8-bit mono.
#pragma once

#include <cstdint>

#include "source_file.h"
#include "wave_reader.h"

// Input advance per output sample in 1/65536 frame: the truncated quotient
// input rate x 65536 / output rate, 0 for an output rate of 0. Held in 64
// bits so that no input rate can overflow it.
std::uint64_t resample_step(std::uint32_t input_rate, std::int32_t output_rate);

// The signed 8-bit value of one frame (info.bits / 8 x info.channels
// bytes): the mean of its channels scaled to 8 bits, truncated toward zero.
int frame_value(const std::uint8_t* frame, const WaveInfo& info);

// Where resampling stands: output sample j is input frame
// floor(j x step / 65536), counted from the first frame of the data.
struct ResampleCursor {
    std::uint64_t step = 0;
    std::uint64_t frame = 0;     // input frame of the next sample
    std::uint64_t position = 0;  // fraction of a frame past `frame`, in 1/65536
};

ResampleCursor start_resampling(const WaveInfo& info, std::int32_t output_rate);

// Writes the next `count` samples to `out`. False when the file could not be
// read. Frames past the end of the data (a partial last frame) take their
// bytes from what follows the data, and 0 past the end of the file.
bool resample_next(SourceReader& file, const WaveInfo& info, ResampleCursor& cursor, std::int8_t* out,
                   std::uint32_t count);

// All `count` samples at once.
bool resample_to_s8(SourceReader& file, const WaveInfo& info, std::int32_t output_rate, std::uint32_t count,
                    std::int8_t* out);
