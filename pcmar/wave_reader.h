// Reading a PCM WAV file: the header checks, the format fields, the choice
// of output rate and the number of samples the conversion will give.
#pragma once

#include <cstdint>

#include "source_file.h"
#include "text_sink.h"

// The four rates the target's player knows, by rate index.
inline constexpr std::int32_t kRateTable[4] = {11025, 16000, 22050, 32000};

// What the command line sets and the reader completes.
struct ConversionSettings {
    std::int32_t rate_index = -1;        // into kRateTable; -1 until forced or chosen
    std::int32_t output_rate = -1;       // kRateTable[rate_index]
    std::int32_t loop_point = -1;        // in input frames until written; -1: no loop
    std::uint32_t output_count = 0;      // samples the conversion gives
};

struct WaveInfo {
    std::uint32_t input_rate = 0;
    std::uint16_t bits = 0;              // per sample of one channel
    std::uint16_t channels = 0;
    std::uint32_t data_size = 0;         // bytes of sample data, clamped to the file
    std::uint64_t samples = 0;           // offset of the sample data in the file
};

enum class WaveStatus {
    ok,
    no_riff,
    no_wave,
    no_fmt,
    not_pcm,
    no_data,
    unexpected_end,
    unsupported_bits,
    unsupported_rate,
    unreadable,  // the file could not be read; the caller reports it
};

// Chooses the table rate nearest to `input_rate`, the lower index on a tie.
// False when no entry is near enough (128000 Hz or more).
bool choose_rate(std::uint32_t input_rate, ConversionSettings& settings);

// Samples that `data_size` bytes give at the output rate: the exact
// truncated quotient, 0 when any divisor is 0; the low 32 bits.
std::uint32_t output_sample_count(const WaveInfo& info, std::int32_t output_rate);

// Checks the file and fills `info` and `settings`, writing the two format
// lines to `report`. On failure writes the reason to `errors`.
WaveStatus parse_wave(SourceReader& file, WaveInfo& info, ConversionSettings& settings, TextSink& report,
                      TextSink& errors);
