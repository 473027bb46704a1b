// notebake: converts Standard MIDI Files into sequence tables written as
// assembler source, one output file beside each input.
#include <cstdio>
#include <string>

#include "notebake.h"
#include "output_file.h"

namespace {

// A MIDI file is read a few bytes at a time, so a small window will do; the
// runs of the merge read through windows of their own.
constexpr std::size_t kInputWindow = 64 << 10;

// Converts one file argument. Returns the exit status it calls for.
int convert_file(const std::string& argument, SequenceState& state, TextSink& report, TextSink& errors) {
    OutputNames names = derive_output_names(argument);
    // The input is read while the output is written.
    SourceBuffer whole;
    SourceReader input;
    LoadStatus loaded = open_input(argument, names.output_path, whole, input, kInputWindow);
    if (loaded == LoadStatus::out_of_memory) {
        sink_write(errors, "Error: Not enough memory.\n");
        return 1;
    }
    if (loaded != LoadStatus::ok || input.length == 0) {
        close_reader(input);
        sink_printf(errors, "[%s]\nFile open error, abort...\n", argument.c_str());
        return 1;
    }

    OutputFile output;
    if (!open_output(names.output_path, output)) {
        close_reader(input);
        return 1;
    }
    TextSink out = output_file_sink(output.file);
    write_preamble(out, names.label, argument);
    int status = convert_sequence(input, state, out, report, errors);
    bool unreadable = input.failed;
    close_reader(input);
    bool written = close_output(output, out);
    if (unreadable) {
        sink_printf(errors, "[%s]\nFile open error, abort...\n", argument.c_str());
        return 1;
    }
    if (!written) {
        // A lost output must not pass for a converted file.
        sink_printf(errors, "[%s]\nFile write error, abort...\n", names.output_path.c_str());
        return 1;
    }
    sink_flush(report);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    TextSink report = file_sink(stdout);
    TextSink errors = file_sink(stderr, 0);

    // Leading arguments that begin with "-" are options; none is defined,
    // so they are accepted and ignored.
    int first_file = 1;
    while (first_file < argc && argv[first_file][0] == '-') ++first_file;
    if (first_file == argc) {
        sink_write(errors, "usage : notebake [opt] filename \n");
        return 1;
    }

    SequenceState state;
    for (int i = first_file; i < argc; ++i) {
        int status = convert_file(argv[i], state, report, errors);
        if (status != 0) return status;
    }
    // A report that cannot be shown does not undo the converted files.
    sink_flush(report);
    return 0;
}
