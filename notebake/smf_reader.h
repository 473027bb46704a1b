// Reading a Standard MIDI File: header checks, the three header comment
// lines of the output, and every track's events, decoded one at a time.
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
    std::uint16_t division = 0;  // ticks per quarter note, top bit cleared
};

// Where a walk through the track chunks stands. A copy is a point from
// which the same events can be decoded again, as the walk itself would.
struct TrackWalk {
    std::uint64_t pos = 0;          // next delta time, or the next chunk's head
    std::uint32_t consumed = 0;     // bytes of the current chunk's events decoded
    std::int32_t chunk_length = 0;  // of the current chunk; compared signed
    std::uint32_t track_time = 0;
    std::uint32_t tracks_left = 0;  // chunks not begun yet
    // The last channel status byte (0x80 to 0xEF) read in this file, or 0
    // before the first. It carries over from one track to the next.
    std::uint8_t running_status = 0;
    ReadStatus status = ReadStatus::ok;  // why the walk stopped
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
    bool has_event = false;    // a channel message or a tempo change was decoded
};

// Decodes the event whose status byte (or, under running status, first data
// byte) `status` lies at `pos`, at `track_time`. A channel message takes its
// channel from its status byte and goes into `event` as read, before the
// recording rules; so does a tempo change, as kind kTempo on channel 1.
DispatchResult dispatch_event(SourceReader& file, std::uint8_t status, std::uint64_t pos, TrackWalk& walk,
                              EventRecord& event);

// Checks the header and writes the header comment lines to `out`; `walk`
// then stands before the first track chunk. On failure writes the reason
// to `errors`.
ReadStatus read_header(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, TrackWalk& walk);

// Decodes events from where `walk` stands up to the next channel message or
// tempo change, and returns true with it in `event`. False when the walk has
// ended: walk.status is ok after the last track, else tells what failed.
bool next_event(SourceReader& file, TrackWalk& walk, EventRecord& event);

// Decodes up to `capacity` events, as that many calls of next_event would.
// Returns how many; fewer when the walk has ended (see walk.status).
std::size_t next_events(SourceReader& file, TrackWalk& walk, EventRecord* events, std::size_t capacity);

// Checks the header, writes the header comment lines to `out` and records
// the events of every track into `events`. On failure writes the reason to
// `errors`.
ReadStatus read_smf(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, EventList& events);

// Records the events of every track from `walk` on into `events`. On
// failure writes the reason to `errors`.
ReadStatus record_tracks(SourceReader& file, TrackWalk walk, TextSink& errors, EventList& events);

// Writes the message of a failed read to `errors` and passes `status` on.
ReadStatus report_failure(ReadStatus status, TextSink& errors);
