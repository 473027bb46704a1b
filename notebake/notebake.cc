#include "notebake.h"

int convert_sequence(SourceReader& file, SequenceState& state, TextSink& out, TextSink& report, TextSink& errors) {
    state.reader = ReaderState{};
    state.polyphony = Polyphony{};
    if (reset(state.events) != 0) {
        sink_write(errors, reader_message(ReadStatus::out_of_memory));
        return 1;
    }
    if (read_smf(file, out, errors, state.reader, state.events) != ReadStatus::ok) {
        release(state.events);
        return 1;
    }
    if (sort_events(state.events) != 0) {
        release(state.events);
        sink_write(errors, reader_message(ReadStatus::out_of_memory));
        return 1;
    }
    write_sequence(state.events, state.reader.division, state.polyphony, out, report);
    return 0;
}

void write_preamble(TextSink& out, const std::string& label, const std::string& argument) {
    sink_write(out, "\t.section\t.rodata\n\t.global\t");
    sink_write(out, label);
    sink_write(out, "\n\t.align\t4\n\n");
    sink_write(out, label);
    sink_write(out, ":\n\t@ ");
    sink_write(out, argument);
    sink_write(out, "\n");
}
