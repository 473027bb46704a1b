// One whole MIDI-to-sequence conversion, from loaded bytes to text.
#pragma once

#include "event_list.h"
#include "run_merge.h"
#include "sequence_writer.h"
#include "smf_reader.h"
#include "source_file.h"
#include "text_sink.h"

// Everything one conversion works on; convert_sequence resets it first, so
// nothing of an earlier file leaks into the next.
struct SequenceState {
    EventList events;
    ReaderState reader;
    Polyphony polyphony;
    RunPlan plan;
    RunMerge merge;
};

// Reads the MIDI file in `file`, writing the header comment lines and the
// sequence records to `out` and the polyphony report to `report`. Returns 0
// on success; 1 after writing the reason to `errors`, or with file.failed
// set when the file could not be read.
int convert_sequence(SourceReader& file, SequenceState& state, TextSink& out, TextSink& report, TextSink& errors);

// The assembler lines that open every output file, before the conversion's
// own: section, symbol and the argument as typed, in a comment.
void write_preamble(TextSink& out, const std::string& label, const std::string& argument);
