// In-process notebake conversions for the tests.
#pragma once

#include <string>

#include "notebake.h"
#include "test_support.h"

namespace test {

struct Conversion {
    int status = -1;
    std::string out;     // header comments and records (no preamble)
    std::string report;  // standard output
    std::string errors;  // standard error
};

inline Conversion convert_midi(const Bytes& file) {
    SourceBuffer source;
    make_source(file, source);
    SequenceState state;
    TextSink out = memory_sink(), report = memory_sink(), errors = memory_sink();
    Conversion result;
    SourceReader reader = memory_reader(view_of(source));
    result.status = convert_sequence(reader, state, out, report, errors);
    result.out = std::string(sink_text(out));
    result.report = std::string(sink_text(report));
    result.errors = std::string(sink_text(errors));
    return result;
}

// The sixteen report lines with the given maxima for channels 1 and up.
inline std::string report_lines(std::initializer_list<int> maxima = {}) {
    std::string text;
    auto it = maxima.begin();
    for (int channel = 1; channel <= 16; ++channel) {
        int max = it != maxima.end() ? *it++ : 0;
        char line[40];
        std::snprintf(line, sizeof line, "[channel:%02d , max:%03d]\n", channel, max);
        text += line;
    }
    return text;
}

inline std::string header_lines(int format, int tracks, int division) {
    return "\t@ SMF Format : " + std::to_string(format) + "\n\t@ Max Tracks : " + std::to_string(tracks) +
           "\n\t@ CPQN       : " + std::to_string(division) + "\n";
}

}  // namespace test
