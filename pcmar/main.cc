// pcmar: converts a PCM WAV file into a signed 8-bit sample object written
// as assembler source beside the input.
#include <cstdio>
#include <string>

#include "pcmar.h"

int main(int argc, char** argv) {
    TextSink report = file_sink(stdout, 0);
    TextSink errors = file_sink(stderr, 0);

    SampleObject object;
    std::span<const char* const> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    std::size_t file_index = parse_options(args, object.settings);
    if (file_index == args.size()) {
        sink_write(errors, kUsage);
        return 1;
    }
    const std::string argument = args[file_index];

    SourceBuffer source;
    switch (load_source(argument, source)) {
        case LoadStatus::ok: break;
        case LoadStatus::cannot_open: sink_printf(errors, "Error: Can't open file %s", argument.c_str()); return 1;
        case LoadStatus::out_of_memory: sink_write(errors, "Error: Not enough memory.\n"); return 1;
    }
    if (convert_wave(view_of(source), object, report, errors) != 0) return 1;

    OutputNames names = derive_output_names(argument);
    std::FILE* file = std::fopen(names.output_path.c_str(), "w");
    if (!file) {
        sink_printf(errors, "Error: Can't create file %s\n", names.output_path.c_str());
        return 1;
    }
    TextSink out = file_sink(file);
    write_sample_object(out, names.label, object);
    bool written = sink_flush(out);
    if (std::fclose(file) != 0) written = false;
    if (!written) {
        sink_printf(errors, "Error: Can't write file %s\n", names.output_path.c_str());
        return 1;
    }
    return 0;
}
