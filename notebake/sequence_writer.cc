#include "sequence_writer.h"

#include <cstring>

namespace {

constexpr std::int32_t kDefaultBpm = 120;

}  // namespace

void write_wait(TextSink& out, std::uint32_t gap, std::uint32_t clock) {
    static constexpr char kHead[48] = "\t.byte\t0xff, 0x00, 0x??, 0x??\t@ wait (clock:";
    constexpr std::size_t kHeadLength = sizeof "\t.byte\t0xff, 0x00, 0x??, 0x??\t@ wait (clock:" - 1;
    char* line = sink_room(out, sizeof kHead + 24);
    std::memcpy(line, kHead, sizeof kHead);
    std::memcpy(line + 21, hex_pair(gap & 0xFF), 2);
    std::memcpy(line + 27, hex_pair((gap >> 8) & 0xFF), 2);
    char* end = format_int(line + kHeadLength, static_cast<std::int32_t>(clock));
    std::memcpy(end, ")\n", 2);
    sink_advance(out, end + 2);
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

SequenceTiming start_sequence(std::uint16_t division) {
    SequenceTiming timing;
    timing.q = division;
    timing.d = ticks_per_clock(kDefaultBpm * timing.q);
    return timing;
}

void change_tempo(SequenceTiming& timing, const EventRecord& record) {
    // Clocks elapsed under the old tempo join the base once.
    if (!timing.first) timing.base += clocks_in(record.time - timing.t0, timing.d);
    timing.t0 = record.time;
    auto bpm = static_cast<std::int16_t>(record.data1 | record.data2 << 8);
    timing.d = ticks_per_clock(bpm * timing.q);
    // No ticks have passed since t0: the record's clock is the base.
    timing.clock = timing.base;
    timing.clock_time = record.time;
}

void finish_sequence(const Polyphony& polyphony, TextSink& out, TextSink& report) {
    write_record(out, 0xFF, 0xFF, 0xFF, 0xFF);
    for (int channel = 0; channel < 16; ++channel)
        sink_printf(report, "[channel:%02d , max:%03d]\n", channel + 1, polyphony.channels[channel].maximum);
}

void write_sequence(EventList& events, std::uint16_t division, Polyphony& polyphony, TextSink& out,
                    TextSink& report) {
    SequenceTiming timing = start_sequence(division);
    TimeWalk walk = walk_in_time_order(events);
    while (const EventRecord* record = next_in_time(walk)) write_event(timing, *record, polyphony, out);
    finish_sequence(polyphony, out, report);
    release(events);
}
