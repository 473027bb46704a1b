#include "sequence_writer.h"

#include <gtest/gtest.h>

#include "notebake_support.h"

namespace {

using test::bytes;
using test::Bytes;
using test::convert_midi;
using test::smf;
using test::track;

// A delta time as a variable-length quantity.
Bytes delta(std::uint32_t ticks) {
    Bytes out(1, static_cast<char>(ticks & 0x7F));
    while (ticks >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (ticks & 0x7F)));
    return out;
}

Bytes tempo_event(std::uint32_t dt, std::uint32_t microseconds) {
    return delta(dt) + bytes({0xFF, 0x51, 0x03}) + test::be32(microseconds).substr(1);
}

Bytes note_on(std::uint32_t dt, int key, int velocity = 0x64, int channel = 0) {
    return delta(dt) + bytes({0x90 | channel, key, velocity});
}
Bytes note_off(std::uint32_t dt, int key, int channel = 0) { return delta(dt) + bytes({0x80 | channel, key, 0x40}); }

// The wait lines of a successful conversion, in order.
std::vector<std::string> waits(const test::Conversion& c) {
    EXPECT_EQ(c.status, 0) << c.errors;
    std::vector<std::string> found;
    std::size_t at = 0;
    while ((at = c.out.find("\t.byte\t0xff, 0x00", at)) != std::string::npos) {
        std::size_t end = c.out.find('\n', at);
        found.push_back(c.out.substr(at + 7, end - at - 7));
        at = end;
    }
    return found;
}

TEST(ClockArithmetic, RoundsEveryStepOnceInDoubles) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kClockFactor), 0x3F323456789ABCDFull);
    double d96 = ticks_per_clock(120 * 96);
    EXPECT_EQ(d96, 3.2);
    // Held in a wider format, 96 / 3.2 comes out just below 30.
    EXPECT_EQ(clocks_in(96, d96), 30u);
    double d480 = ticks_per_clock(125 * 480);
    EXPECT_EQ(d480, 16.666666666666668);
    // Exact rational arithmetic would give 15.
    EXPECT_EQ(clocks_in(250, d480), 14u);
    EXPECT_EQ(clocks_in(1000, 0.0), 0u);
    EXPECT_EQ(clocks_in(0, 0.0), 0u);
    // A negative D counts backwards; the low 32 bits are kept.
    EXPECT_EQ(clocks_in(96, -3.2), static_cast<std::uint32_t>(-30));
}

TEST(WriteSequence, WorkedExample) {
    auto c = convert_midi(smf(96, {track(tempo_event(0, 500000) + note_on(0, 0x3C) + note_off(96, 0x3C))}, 0));
    ASSERT_EQ(c.status, 0) << c.errors;
    EXPECT_EQ(c.out, test::header_lines(0, 1, 96) +
                         "\t.byte\t0xf1, 0x01, 0x78, 0x00\n"
                         "\t.byte\t0x90, 0x00, 0x3c, 0x64\n"
                         "\t.byte\t0xff, 0x00, 0x1e, 0x00\t@ wait (clock:30)\n"
                         "\t.byte\t0x80, 0x00, 0x3c, 0x40\n"
                         "\t.byte\t0xff, 0xff, 0xff, 0xff\n");
    EXPECT_EQ(c.report, test::report_lines({1}));
}

TEST(WriteSequence, EmptyListGivesTheEndRecordAndAZeroReport) {
    auto c = convert_midi(smf(96, {}));
    EXPECT_EQ(c.out, test::header_lines(1, 0, 96) + "\t.byte\t0xff, 0xff, 0xff, 0xff\n");
    EXPECT_EQ(c.report, test::report_lines());
}

TEST(WriteSequence, CountsPolyphonyPerChannel) {
    // Channel 2: three notes at once, then four offs (one surplus) and one
    // more note, which does not reach the maximum again. Channel 16: one
    // note on with velocity 0xFE, which arrives as a note on with 0 and
    // counts as an off. Controllers and bends do not count.
    auto c = convert_midi(smf(96, {track(note_on(0, 60, 0x64, 1) + note_on(0, 62, 0x64, 1) + note_on(0, 64, 0x64, 1) +
                                         note_off(10, 60, 1) + note_off(0, 62, 1) + note_off(0, 64, 1) +
                                         note_off(0, 64, 1) + note_on(0, 60, 0x64, 1) + note_on(0, 60, 0x64, 15) +
                                         note_on(0, 61, 0xFE, 15) + bytes({0, 0xB1, 7, 100, 0, 0xE1, 0, 0}))}));
    EXPECT_EQ(c.report, test::report_lines({0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_NE(c.out.find("\t.byte\t0x90, 0x0f, 0x3d, 0x00\n"), std::string::npos);
}

TEST(WriteSequence, ConvertsTicksUnderTheTempoInForce) {
    struct Case {
        const char* name;
        int division;
        Bytes events;
        std::vector<std::string> waits;
    };
    const Case cases[] = {
        {"tempo change in the middle", 96,
         note_on(0, 60) + tempo_event(96, 1000000) + note_off(96, 60),
         {"0xff, 0x00, 0x1e, 0x00\t@ wait (clock:30)", "0xff, 0x00, 0x3c, 0x00\t@ wait (clock:90)"}},
        {"125 bpm at division 480: 14, not 15", 480,
         tempo_event(0, 480000) + note_on(0, 60) + note_off(250, 60),
         {"0xff, 0x00, 0x0e, 0x00\t@ wait (clock:14)"}},
        {"a first tempo record at 480 starts the clock there", 96,
         tempo_event(480, 500000) + note_on(0, 60) + note_off(96, 60),
         {"0xff, 0x00, 0x1e, 0x00\t@ wait (clock:30)"}},
        {"a first event at tick 480 waits 150 clocks", 96, note_on(480, 60), {"0xff, 0x00, 0x96, 0x00\t@ wait (clock:150)"}},
        // 209716 / 3.2 = 65536.25
        {"a gap of 65536 clocks keeps its low 16 bits", 96,
         note_on(209716, 60), {"0xff, 0x00, 0x00, 0x00\t@ wait (clock:65536)"}},
        {"division 0 stands the clock still", 0, note_on(1000, 60) + note_off(1000, 60), {}},
        {"a tempo of 0 stands the clock still until the next tempo", 96,
         tempo_event(0, 0) + note_on(96, 60) + tempo_event(96, 500000) + note_off(96, 60),
         {"0xff, 0x00, 0x1e, 0x00\t@ wait (clock:30)"}},
    };
    for (const Case& c : cases) {
        auto result = convert_midi(smf(c.division, {track(c.events)}));
        EXPECT_EQ(waits(result), c.waits) << c.name;
    }
}

TEST(WriteSequence, NegativeTempoRunsTheClockBackwards) {
    // 1000 microseconds gives 60000 bpm, which reads as -5536 in 16 bits.
    // The note at tick 100 then lies at clock trunc(100 / D) = -65 with
    // D < 0, i.e. 0xFFFFFFBF: above `last` as unsigned, shown signed.
    auto c = convert_midi(smf(1, {track(tempo_event(0, 1000) + note_on(100, 60))}));
    double d = ticks_per_clock(-5536 * 1);
    std::int32_t clock = static_cast<std::int32_t>(static_cast<std::int64_t>(100 / d));
    EXPECT_EQ(clock, -65);
    ASSERT_LT(clock, 0);
    char expected[80];
    std::snprintf(expected, sizeof expected, "0xff, 0x00, 0x%02x, 0x%02x\t@ wait (clock:%d)", clock & 0xFF,
                  (clock >> 8) & 0xFF, clock);
    EXPECT_EQ(waits(c), std::vector<std::string>{expected});
}

TEST(WriteSequence, SameTimeFromDifferentTracksKeepsTrackOrder) {
    auto c = convert_midi(smf(96, {track(bytes({0x00, 0xC3, 0x01})), track(bytes({0x00, 0xC2, 0x02})),
                                   track(bytes({0x00, 0xC1, 0x03}))}));
    EXPECT_EQ(c.out, test::header_lines(1, 3, 96) +
                         "\t.byte\t0xc0, 0x03, 0x01, 0x00\n"
                         "\t.byte\t0xc0, 0x02, 0x02, 0x00\n"
                         "\t.byte\t0xc0, 0x01, 0x03, 0x00\n"
                         "\t.byte\t0xff, 0xff, 0xff, 0xff\n");
}

}  // namespace
