// Sample-and-hold resampling of PCM frames to signed 8-bit mono.
#pragma once

#include <cstdint>

#include "source_file.h"
#include "wave_reader.h"

// Input advance per output sample in 1/65536 frame: the truncated quotient
// input rate x 65536 / output rate, 0 for an output rate of 0. Held in 64
// bits so that no input rate can overflow it.
std::uint64_t resample_step(std::uint32_t input_rate, std::int32_t output_rate);

// The signed 8-bit value of the frame at `offset`: the mean of its channels
// scaled to 8 bits, truncated toward zero. Bytes past the end of the file
// read as 0.
int frame_value(ByteView file, std::uint64_t offset, const WaveInfo& info);

// Fills `out` with `count` samples: sample j is the input frame
// floor(j x step / 65536).
void resample_to_s8(ByteView file, const WaveInfo& info, std::int32_t output_rate, std::uint32_t count,
                    std::int8_t* out);
