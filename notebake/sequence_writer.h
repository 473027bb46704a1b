// Turning the sorted event list into the player's sequence table: event,
// tempo, wait and end records, with times converted from MIDI ticks into
// clocks of 1/60 second, and the per-channel polyphony report.
#pragma once

#include <bit>
#include <cstdint>

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

// One record line: "\t.byte\t0x%02x, 0x%02x, 0x%02x, 0x%02x\n".
void write_record(TextSink& out, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

// One wait line for a gap of `gap` clocks ending at clock `clock`:
// "\t.byte\t0xff, 0x%02x, 0x%02x, 0x%02x\t@ wait (clock:%d)\n" with 0, the
// gap's low and high byte, and the clock as a signed number.
void write_wait(TextSink& out, std::uint32_t gap, std::uint32_t clock);

// Writes the records of `events` (sorted by sort_events), in time order, and the end record to `out`, the
// polyphony report to `report`, then releases the list.
void write_sequence(EventList& events, std::uint16_t division, Polyphony& polyphony, TextSink& out,
                    TextSink& report);
