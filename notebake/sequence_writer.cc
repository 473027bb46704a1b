#include "sequence_writer.h"

#include <cstring>

namespace {

constexpr std::int32_t kDefaultBpm = 120;

// Timing state of one run of the writer.
struct Timing {
    double d = 0;             // ticks per clock under the tempo in force
    std::uint32_t t0 = 0;     // tick time of the last tempo record
    std::uint32_t base = 0;   // clock at t0
    std::uint32_t last = 0;   // clock up to which waits have been written
};

void count_note(PolyphonyCounter& counter, const EventRecord& record) {
    // Increments wrap within 16 bits, as the player's counters do.
    if (record.kind == kNoteOn && record.data2 != 0) {
        counter.current = static_cast<std::int16_t>(counter.current + 1);
        if (counter.current > counter.maximum) counter.maximum = counter.current;
    } else if (record.kind == kNoteOn || record.kind == kNoteOff) {
        counter.current = static_cast<std::int16_t>(counter.current - 1);
    }
}

}  // namespace

// "\t.byte\t0x%02x, 0x%02x, 0x%02x, 0x%02x\n" without a printf per line.
void write_record(TextSink& out, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    char line[] = "\t.byte\t0x??, 0x??, 0x??, 0x??\n";
    std::memcpy(line + 9, hex_pair(b0), 2);
    std::memcpy(line + 15, hex_pair(b1), 2);
    std::memcpy(line + 21, hex_pair(b2), 2);
    std::memcpy(line + 27, hex_pair(b3), 2);
    sink_write(out, std::string_view(line, sizeof line - 1));
}

// "\t.byte\t0xff, 0x%02x, 0x%02x, 0x%02x\t@ wait (clock:%d)\n" with 0, the
// low and high byte of the gap, and the absolute clock as a signed number.
void write_wait(TextSink& out, std::uint32_t gap, std::uint32_t clock) {
    char line[] = "\t.byte\t0xff, 0x00, 0x??, 0x??\t@ wait (clock:";
    std::memcpy(line + 21, hex_pair(gap & 0xFF), 2);
    std::memcpy(line + 27, hex_pair((gap >> 8) & 0xFF), 2);
    sink_write(out, std::string_view(line, sizeof line - 1));
    sink_write_int(out, static_cast<std::int32_t>(clock));
    sink_write(out, ")\n");
}

double ticks_per_clock(std::int32_t bpm_times_q) {
    return static_cast<double>(bpm_times_q) * kClockFactor;
}

std::uint32_t clocks_in(std::uint32_t ticks, double d) {
    // With D = 0 the quotient is infinite (or undefined for 0 ticks); the
    // clock then stands still until a tempo gives D another value.
    if (d == 0) return 0;
    double quotient = static_cast<double>(ticks) / d;
    // |quotient| < 2^32 * 3600, far inside the signed 64-bit range.
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(quotient));
}

void write_sequence(EventList& events, std::uint16_t division, Polyphony& polyphony, TextSink& out,
                    TextSink& report) {
    const std::int32_t q = division;
    Timing timing;
    timing.d = ticks_per_clock(kDefaultBpm * q);

    TimeWalk walk = walk_in_time_order(events);
    bool first = true;
    while (const EventRecord* next = next_in_time(walk)) {
        const EventRecord& record = *next;
        if (record.kind == kTempo) {
            // Clocks elapsed under the old tempo join the base once.
            if (!first) timing.base += clocks_in(record.time - timing.t0, timing.d);
            timing.t0 = record.time;
            auto bpm = static_cast<std::int16_t>(record.data1 | record.data2 << 8);
            timing.d = ticks_per_clock(bpm * q);
        } else {
            count_note(polyphony.channels[record.channel & 0x0F], record);
        }
        std::uint32_t clock = timing.base + clocks_in(record.time - timing.t0, timing.d);
        if (clock > timing.last) {
            write_wait(out, clock - timing.last, clock);
            timing.last = clock;
        }
        write_record(out, record.kind, record.channel, record.data1, record.data2);
        first = false;
    }
    write_record(out, 0xFF, 0xFF, 0xFF, 0xFF);

    for (int channel = 0; channel < 16; ++channel)
        sink_printf(report, "[channel:%02d , max:%03d]\n", channel + 1, polyphony.channels[channel].maximum);
    release(events);
}
