// Drives one whole pcmar conversion (options, reader, rate choice,
// resampler, writer) over the fuzzer's bytes and checks what must always
// hold. The input is: option arguments separated by NUL bytes, a line feed
// byte, then the WAV file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "pcmar.h"

namespace {

// Real files may ask for billions of samples (an upsampled long file);
// the fuzzer stops short of those, as they only cost time and memory.
constexpr std::uint32_t kMaxFuzzedCount = 1u << 12;

void require(bool condition) {
    if (!condition) std::abort();
}

// Splits the leading options off `input`; returns the WAV bytes.
std::string_view split_options(std::string_view input, std::vector<std::string>& options) {
    std::size_t end = input.find('\n');
    if (end == std::string_view::npos || end > 256) return input;
    std::string_view text = input.substr(0, end);
    while (!text.empty()) {
        std::size_t cut = text.find('\0');
        options.push_back("-" + std::string(text.substr(0, cut)));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    }
    return input.substr(end + 1);
}

void check_object(std::string_view text, const ConversionSettings& settings) {
    std::uint32_t count = settings.output_count;
    std::string counted = ".long " + std::to_string(static_cast<int>(count)) + "\n";
    require(text.find(counted) != std::string_view::npos);
    // Exactly `count` values on ceil(count / 16) lines, all full but the last.
    std::size_t values = 0, lines = 0;
    for (std::size_t at = 0; (at = text.find(".byte ", at)) != std::string_view::npos; ++lines) {
        std::size_t end = text.find('\n', at);
        std::size_t length = end - at - 6;
        require(length % 5 == 4 && length <= 16 * 5 - 1);
        values += (length + 1) / 5;
        require(lines + 1 == (count + 15) / 16 || length == 16 * 5 - 1);
        at = end;
    }
    require(values == count);
    require(lines == (count + 15) / 16);
    require(text.size() >= 16 && text.compare(text.size() - 16, 16, "\t.ident \"pcmar\"\n") == 0);
}

// Converts `wave` read through `reader`; returns the errors, the report
// and the object text, joined.
std::string convert(SourceReader& reader, ConversionSettings settings) {
    TextSink report = memory_sink(), errors = memory_sink();
    WaveInfo info;
    WaveStatus status = parse_wave(reader, info, settings, report, errors);
    if (status != WaveStatus::ok) {
        require(status != WaveStatus::unreadable);
        require(sink_text(report).empty());
        require(sink_text(errors).rfind("Error: ", 0) == 0 || sink_text(errors).rfind("Warning: ", 0) == 0);
        return std::string(sink_text(errors));
    }
    require(settings.rate_index >= 0 && settings.rate_index <= 3);
    require(settings.output_rate == kRateTable[settings.rate_index]);
    require(info.samples + info.data_size <= reader.length);
    std::string text = std::string(sink_text(errors)) + std::string(sink_text(report));
    if (settings.output_count > kMaxFuzzedCount) return text;

    TextSink out = memory_sink();
    require(write_sample_object(out, "label", reader, info, settings));
    check_object(sink_text(out), settings);
    return text + std::string(sink_text(out));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> options;
    std::string_view wave = split_options(std::string_view(reinterpret_cast<const char*>(data), size), options);
    std::vector<const char*> args;
    for (const std::string& option : options) args.push_back(option.c_str());
    args.push_back("input.wav");

    ConversionSettings settings;
    require(parse_options(args, settings) == options.size());
    require(settings.rate_index >= -1 && settings.rate_index <= 3);

    SourceBuffer source;
    if (make_source(wave, source) != LoadStatus::ok) return 0;
    SourceReader in_memory = memory_reader(view_of(source));
    std::string expected = convert(in_memory, settings);

    // The same bytes read as a file through a small window must convert
    // to the same text.
    std::string copy(wave);
    std::FILE* file = fmemopen(copy.data(), copy.size(), "rb");
    if (!file) return 0;
    SourceReader streamed;
    std::size_t window = 1 + (size == 0 ? 0 : data[size - 1] % 64);
    require(attach_reader(file, streamed, window) == LoadStatus::ok);
    require(convert(streamed, settings) == expected);
    close_reader(streamed);
    return 0;
}
