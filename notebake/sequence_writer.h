// Turning the sorted event list into the player's sequence table: event,
// tempo, wait and end records, with times converted from MIDI ticks into
// clocks of 1/60 second, and the per-channel polyphony report.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "event_list.h"
#include "text_sink.h"

// The double nearest to 1/3600, fixed by its bit pattern so that every
// build multiplies by exactly the same number.
inline const double kClockFactor = std::bit_cast<double>(0x3F323456789ABCDFull);

struct PolyphonyCounter {
    std::int16_t maximum = 0;  // most notes sounding at once so far
    std::int16_t current = 0;  // notes sounding now; may go below 0
};

struct Polyphony {
    PolyphonyCounter channels[16];
};

// MIDI ticks per clock at `bpm_times_q` = beats per minute times ticks per
// quarter note: one rounded multiplication.
double ticks_per_clock(std::int32_t bpm_times_q);

// Whole clocks in `ticks` at `ticks_per_clock` D, truncated toward zero;
// the low 32 bits of the signed 64-bit result. D = 0 counts as no clocks.
std::uint32_t clocks_in(std::uint32_t ticks, double d);

// One record line: "\t.byte\t0x%02x, 0x%02x, 0x%02x, 0x%02x\n", made
// without a printf: the line's fixed text, then its four hexadecimal pairs
// put in place.
inline void write_record(TextSink& out, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    static constexpr char kLine[32] = "\t.byte\t0x??, 0x??, 0x??, 0x??\n";
    constexpr std::size_t kLength = sizeof "\t.byte\t0x??, 0x??, 0x??, 0x??\n" - 1;
    char* line = sink_room(out, sizeof kLine);
    std::memcpy(line, kLine, sizeof kLine);
    std::memcpy(line + 9, hex_pair(b0), 2);
    std::memcpy(line + 15, hex_pair(b1), 2);
    std::memcpy(line + 21, hex_pair(b2), 2);
    std::memcpy(line + 27, hex_pair(b3), 2);
    sink_advance(out, line + kLength);
}

// One wait line for a gap of `gap` clocks ending at clock `clock`:
// "\t.byte\t0xff, 0x%02x, 0x%02x, 0x%02x\t@ wait (clock:%d)\n" with 0, the
// gap's low and high byte, and the clock as a signed number.
void write_wait(TextSink& out, std::uint32_t gap, std::uint32_t clock);

// Timing state of one run of the writer.
struct SequenceTiming {
    std::int32_t q = 0;       // ticks per quarter note
    double d = 0;             // ticks per clock under the tempo in force
    std::uint32_t t0 = 0;     // tick time of the last tempo record
    std::uint32_t base = 0;   // clock at t0
    std::uint32_t last = 0;   // clock up to which waits have been written
    bool first = true;        // no record written yet
    // The clock of the last record and its tick time: records of one time
    // share it until a tempo record changes the timing.
    std::uint32_t clock = 0;
    std::uint32_t clock_time = 0;
};

SequenceTiming start_sequence(std::uint16_t division);

// The timing change of a tempo record.
void change_tempo(SequenceTiming& timing, const EventRecord& record);

inline void count_note(PolyphonyCounter& counter, const EventRecord& record) {
    // +1 for a sounding note on, -1 for a note off or a note on of
    // velocity 0, 0 for other kinds. Increments wrap within 16 bits, as the
    // player's counters do; only an increment may raise the maximum.
    // Worked out without branches: the kinds come in no order a branch
    // could foresee.
    int note_on = record.kind == kNoteOn;
    int note_off = record.kind == kNoteOff;
    int sounding = note_on & (record.data2 != 0);
    int step = 2 * sounding - note_on - note_off;
    auto current = static_cast<std::int16_t>(counter.current + step);
    counter.current = current;
    counter.maximum = sounding && current > counter.maximum ? current : counter.maximum;
}

// Writes one record, in time order, preceded by a wait when its clock is
// later than the last one's, and counts the notes it starts and ends.
inline void write_event(SequenceTiming& timing, const EventRecord& record, Polyphony& polyphony, TextSink& out) {
    if (record.kind == kTempo)
        change_tempo(timing, record);
    else
        count_note(polyphony.channels[record.channel & 0x0F], record);
    if (record.time != timing.clock_time) {
        timing.clock = timing.base + clocks_in(record.time - timing.t0, timing.d);
        timing.clock_time = record.time;
    }
    if (timing.clock > timing.last) {
        write_wait(out, timing.clock - timing.last, timing.clock);
        timing.last = timing.clock;
    }
    write_record(out, record.kind, record.channel, record.data1, record.data2);
    timing.first = false;
}

// Writes the end record to `out` and the polyphony report to `report`.
void finish_sequence(const Polyphony& polyphony, TextSink& out, TextSink& report);

// Writes the records of `events` (sorted by sort_events), in time order, and the end record to `out`, the
// polyphony report to `report`, then releases the list.
void write_sequence(EventList& events, std::uint16_t division, Polyphony& polyphony, TextSink& out,
                    TextSink& report);
