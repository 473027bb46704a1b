// Reading a Standard MIDI File: header checks, the three header comment
// lines of the output, and every track's events handed to the event list.
#pragma once

#include <cstdint>

#include "event_list.h"
#include "source_file.h"
#include "text_sink.h"

// How a read ended; every value but ok has its message in
// reader_message().
enum class ReadStatus {
    ok,
    header_illegal,
    header_length_illegal,
    header_truncated,
    track_illegal,
    track_truncated,
    running_status_illegal,
    out_of_memory,
    unreadable,  // the file could not be read; the caller reports it
};

const char* reader_message(ReadStatus status);

struct ReaderState {
    // The last channel status byte (0x80 to 0xEF) read in this file, or 0
    // before the first. It carries over from one track to the next.
    std::uint8_t running_status = 0;
    std::uint16_t division = 0;  // ticks per quarter note, top bit cleared
};

struct VarLen {
    std::uint32_t value = 0;  // bits shifted out at the top are lost
    std::uint64_t size = 0;   // bytes the quantity took
};

// Decodes the variable-length quantity at `pos`. False when it runs past
// the end of the file.
bool read_var_len(SourceReader& file, std::uint64_t pos, VarLen& out);

struct DispatchResult {
    ReadStatus status = ReadStatus::ok;
    std::uint64_t length = 0;  // bytes from the status byte to the next delta time
};

// Decodes the event whose status byte (or, under running status, first data
// byte) `status` lies at `pos`, recording what it carries at `track_time`.
// A channel message takes its channel from its status byte.
DispatchResult dispatch_event(SourceReader& file, std::uint8_t status, std::uint64_t pos, ReaderState& reader,
                              EventList& events, std::uint32_t track_time);

// Checks the header, writes the header comment lines to `out` and records
// the events of every track. On failure writes the reason to `errors`.
ReadStatus read_smf(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, EventList& events);
