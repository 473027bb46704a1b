// Time order by merging runs that are decoded again must give exactly what
// holding every record and sorting the list gives.
#include "run_merge.h"

#include <gtest/gtest.h>

#include "notebake_support.h"

namespace {

using test::bytes;
using test::Bytes;
using test::smf;
using test::track;

// The conversion with every record held in the list and sorted.
test::Conversion convert_through_list(const Bytes& file) {
    SourceBuffer source;
    make_source(file, source);
    SourceReader reader = memory_reader(view_of(source));
    EventList list;
    ReaderState header;
    Polyphony polyphony;
    TextSink out = memory_sink(), report = memory_sink(), errors = memory_sink();
    EXPECT_EQ(reset(list), 0);
    test::Conversion result;
    result.status = read_smf(reader, out, errors, header, list) == ReadStatus::ok ? 0 : 1;
    if (result.status == 0) {
        EXPECT_EQ(sort_events(list), 0);
        write_sequence(list, header.division, polyphony, out, report);
    }
    result.out = std::string(sink_text(out));
    result.report = std::string(sink_text(report));
    result.errors = std::string(sink_text(errors));
    return result;
}

// How many runs the first walk finds; 0 when there are too many to merge.
std::size_t planned_runs(const Bytes& file) {
    SourceBuffer source;
    make_source(file, source);
    SourceReader reader = memory_reader(view_of(source));
    TextSink out = memory_sink(), errors = memory_sink();
    ReaderState header;
    TrackWalk walk;
    EXPECT_EQ(read_header(reader, out, errors, header, walk), ReadStatus::ok);
    static RunPlan plan;
    EXPECT_EQ(plan_runs(reader, walk, plan), ReadStatus::ok);
    return plan.too_many ? 0 : plan.count;
}

// `count` tracks, each starting later than the next one, so that each
// makes a run of its own; every track plays two notes on its own channel.
Bytes many_runs(int count) {
    Bytes file = test::smf_header(1, count, 96);
    for (int t = 0; t < count; ++t) {
        int start = count - t;
        file += track(bytes({start, 0x90 | (t & 0x0F), 60, 100, 0x05, 62, 100, 0x00, 0x80 | (t & 0x0F), 60, 0}));
    }
    return file;
}

const Bytes kBendUp = bytes({0xE0, 0x7F, 0x7F});
// Sets channel 0's bend range to 12 at tick 100, then plays a note.
const Bytes kRangeTwelve = bytes({0x64, 0xB0, 101, 0, 0x00, 100, 0, 0x00, 6, 12, 0x00, 0x90, 60, 100});

struct MergeCase {
    const char* name;
    Bytes file;
    std::size_t runs;  // 0: more than can be merged
};

TEST(RunMerge, GivesWhatSortingTheWholeListGives) {
    const MergeCase cases[] = {
        // A bend range set later in time, but earlier in the file, applies.
        {"controls of an earlier track",
         smf(96, {track(kRangeTwelve), track(bytes({0x00}) + kBendUp)}),
         2},
        {"a range change between two bends of one track",
         smf(96, {track(bytes({0x00}) + kBendUp + bytes({0x10, 0xB0, 101, 0, 0, 100, 0, 0, 6, 24, 0x10}) + kBendUp)}),
         1},
        // The second track starts later than the first ended: one run.
        {"a run across tracks",
         smf(96, {track(bytes({0x00, 0x90, 60, 100, 0x10, 0x80, 60, 0})), track(bytes({0x20, 0x91, 64, 100})),
                  track(bytes({0x05, 0x92, 67, 100}))}),
         2},
        // 10 + 0xFFFFFFFF wraps to 9: a new run inside one track.
        {"a time that wraps",
         smf(96, {track(bytes({0x0A, 0x90, 60, 100, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 60, 0, 0x00, 0x90, 61, 1}))}),
         2},
        // The second track's first event continues the first's status.
        {"running status into a new run",
         smf(96, {track(bytes({0x10, 0x93, 60, 100})), track(bytes({0x00, 62, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 64, 0}))}),
         2},
        {"tempo changes in every track",
         smf(96, {track(bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x60, 0x90, 60, 100})),
                  track(bytes({0x30, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x91, 60, 100})),
                  track(bytes({0x20, 0x92, 60, 100, 0x20, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}))}),
         3},
        {"equal times in many tracks keep track order", smf(96, {track(bytes({0x00, 0xC0, 1})), track(bytes({0x00, 0xC1, 2})),
                                                                 track(bytes({0x00, 0xC2, 3}))}),
         1},
        {"32 runs", many_runs(32), 32},
        {"33 runs", many_runs(33), 0},
        {"40 runs", many_runs(40), 0},
    };
    for (const MergeCase& c : cases) {
        EXPECT_EQ(planned_runs(c.file), c.runs) << c.name;
        test::Conversion merged = test::convert_midi(c.file);
        test::Conversion listed = convert_through_list(c.file);
        EXPECT_EQ(merged.status, 0) << c.name << merged.errors;
        EXPECT_EQ(merged.out, listed.out) << c.name;
        EXPECT_EQ(merged.report, listed.report) << c.name;
        EXPECT_EQ(merged.errors, listed.errors) << c.name;
    }
}

TEST(RunMerge, AppliesTheBendRangeInFileOrder) {
    // The range (12) is set at tick 100 in the first track; the bend of the
    // second track at tick 0 is written first, and uses it: 8191 x 12 / 32.
    auto c = test::convert_midi(
        smf(96, {track(kRangeTwelve), track(bytes({0x00}) + kBendUp)}));
    EXPECT_EQ(c.status, 0) << c.errors;
    EXPECT_NE(c.out.find("\t.byte\t0xe0, 0x00, 0xff, 0x0b\n"), std::string::npos) << c.out;
}

}  // namespace
