// The pcmar run apart from files: options, and the sample object's
// assembler text, resampled from a source as it is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "source_file.h"
#include "text_sink.h"
#include "wave_reader.h"

// Reads the options that precede the first argument not starting with "-"
// into `settings`. Returns that argument's index in `args`, or args.size()
// when there is none.
std::size_t parse_options(std::span<const char* const> args, ConversionSettings& settings);

inline constexpr const char* kUsage =
    "Usage: pcmar [options] file \n"
    "Options:\n"
    "  -f<0-3>     Force sampling rate\n"
    "                0 : 11025Hz\n"
    "                1 : 16000Hz\n"
    "                2 : 22050Hz\n"
    "                3 : 32000Hz\n"
    "  -l<num>     Set loop point as <num>\n";

// The loop point in output samples: loop x output rate / input rate, with
// the loop point taken as unsigned; -1 (no loop) stays as it is.
std::uint32_t output_loop_point(std::int32_t loop_point, std::int32_t output_rate, std::uint32_t input_rate);

// The sample lines: ".byte " and sixteen "0x%02x" joined by ",", then
// "\n"; fewer on the last line.
void write_sample_lines(TextSink& out, const std::int8_t* samples, std::uint32_t count);

// Writes the sample object of the file that parse_wave read into `info`
// and `settings` under `label`, resampling as it goes. False when the file
// could not be read.
bool write_sample_object(TextSink& out, const std::string& label, SourceReader& file, const WaveInfo& info,
                         const ConversionSettings& settings);
