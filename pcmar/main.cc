// pcmar: converts a PCM WAV file into a signed 8-bit sample object written
// as assembler source beside the input.
#include <cstdio>
#include <string>

#include "output_file.h"
#include "pcmar.h"

namespace {

// Converts the file at `argument`; returns the exit status.
int convert(const std::string& argument, ConversionSettings& settings, TextSink& report, TextSink& errors) {
    OutputNames names = derive_output_names(argument);
    SourceBuffer whole;
    SourceReader file;
    // The input is read while the output is written.
    switch (open_input(argument, names.output_path, whole, file)) {
        case LoadStatus::ok: break;
        case LoadStatus::cannot_open: sink_printf(errors, "Error: Can't open file %s", argument.c_str()); return 1;
        case LoadStatus::out_of_memory: sink_write(errors, "Error: Not enough memory.\n"); return 1;
    }
    WaveInfo info;
    WaveStatus status = parse_wave(file, info, settings, report, errors);
    if (status == WaveStatus::unreadable) sink_printf(errors, "Error: Can't open file %s", argument.c_str());
    if (status != WaveStatus::ok) {
        close_reader(file);
        return 1;
    }

    OutputFile output;
    if (!open_output(names.output_path, output)) {
        close_reader(file);
        sink_printf(errors, "Error: Can't create file %s\n", names.output_path.c_str());
        return 1;
    }
    TextSink out = output_file_sink(output.file);
    bool read = write_sample_object(out, names.label, file, info, settings);
    close_reader(file);
    bool written = close_output(output, out);
    if (!read) {
        sink_printf(errors, "Error: Can't open file %s", argument.c_str());
        return 1;
    }
    if (!written) {
        sink_printf(errors, "Error: Can't write file %s\n", names.output_path.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TextSink report = file_sink(stdout, 0);
    TextSink errors = file_sink(stderr, 0);

    ConversionSettings settings;
    std::span<const char* const> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    std::size_t file_index = parse_options(args, settings);
    if (file_index == args.size()) {
        sink_write(errors, kUsage);
        return 1;
    }
    return convert(args[file_index], settings, report, errors);
}
