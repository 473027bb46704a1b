#include "notebake.h"

namespace {

// Records every event into the list, sorts it and writes it: for files of
// more runs than the merge takes.
int convert_through_list(SourceReader& file, const TrackWalk& start, SequenceState& state, TextSink& out,
                         TextSink& report, TextSink& errors) {
    if (reset(state.events) != 0) {
        report_failure(ReadStatus::out_of_memory, errors);
        return 1;
    }
    if (record_tracks(file, start, errors, state.events) != ReadStatus::ok) {
        release(state.events);
        return 1;
    }
    if (sort_events(state.events) != 0) {
        release(state.events);
        report_failure(ReadStatus::out_of_memory, errors);
        return 1;
    }
    write_sequence(state.events, state.reader.division, state.polyphony, out, report);
    return 0;
}

// Decodes the planned runs again and writes their records as they merge.
int convert_by_merging(SourceReader& file, SequenceState& state, TextSink& out, TextSink& report) {
    RunMerge& merge = state.merge;
    bool merged = start_merge(file, state.plan, merge);
    if (merged) {
        SequenceTiming timing = start_sequence(state.reader.division);
        for (EventRecord record = next_merged(merge); record.kind != 0; record = next_merged(merge))
            write_event(timing, record, state.polyphony, out);
        merged = !merge.failed;
        if (merged) finish_sequence(state.polyphony, out, report);
    }
    close_merge(merge);
    // A file that no longer reads as it did counts as one that cannot be read.
    if (!merged) file.failed = true;
    return merged ? 0 : 1;
}

}  // namespace

int convert_sequence(SourceReader& file, SequenceState& state, TextSink& out, TextSink& report, TextSink& errors) {
    state.reader = ReaderState{};
    state.polyphony = Polyphony{};
    release(state.events);
    TrackWalk start;
    if (read_header(file, out, errors, state.reader, start) != ReadStatus::ok) return 1;
    if (report_failure(plan_runs(file, start, state.plan), errors) != ReadStatus::ok) return 1;
    if (state.plan.too_many) return convert_through_list(file, start, state, out, report, errors);
    return convert_by_merging(file, state, out, report);
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
