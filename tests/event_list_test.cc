#include "event_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

struct Event {
    int channel, kind, data1, data2;
};

// Records `events` into a fresh list at time 0 and returns what it holds.
std::vector<EventRecord> recorded(std::initializer_list<Event> events) {
    EventList list;
    EXPECT_EQ(reset(list), 0);
    for (const Event& e : events) EXPECT_EQ(record_event(list, 0, e.channel, e.kind, e.data1, e.data2), 0);
    return std::vector<EventRecord>(list.records.get(), list.records.get() + list.count);
}

struct RuleCase {
    const char* name;
    std::initializer_list<Event> input;
    std::vector<std::array<int, 4>> expected;  // kind, channel, data1, data2
};

TEST(RecordEvent, AppliesTheRecordingRules) {
    const RuleCase cases[] = {
        {"note on scales 127 to 128", {{3, 0x90, 60, 127}}, {{0x90, 3, 60, 0x80}}},
        {"note on keeps 100", {{0, 0x90, 60, 100}}, {{0x90, 0, 60, 100}}},
        {"note on velocity 0 becomes note off", {{0, 0x90, 60, 0}}, {{0x80, 0, 60, 0}}},
        {"velocity 0xFE scales to 256 and keeps low byte 0", {{0, 0x90, 60, 0xFE}}, {{0x90, 0, 60, 0}}},
        {"note off unchanged", {{0, 0x80, 60, 64}}, {{0x80, 0, 60, 64}}},
        {"volume 127 scales to 128", {{2, 0xB0, 7, 127}}, {{0xB0, 2, 7, 128}}},
        {"volume 126 unchanged", {{2, 0xB0, 7, 126}}, {{0xB0, 2, 7, 126}}},
        {"controller 111 renumbered to 56", {{0, 0xB0, 111, 9}}, {{0xB0, 0, 56, 9}}},
        {"other controllers unchanged", {{0, 0xB0, 10, 64}}, {{0xB0, 0, 10, 64}}},
        {"RPN selects are never recorded", {{0, 0xB0, 101, 0}, {0, 0xB0, 100, 0}}, {}},
        {"data entry is never recorded", {{0, 0xB0, 101, 0}, {0, 0xB0, 100, 1}, {0, 0xB0, 6, 12}}, {}},
        {"program, pressures and tempo unchanged",
         {{0, 0xC0, 5, 0}, {0, 0xD0, 70, 0}, {0, 0xA0, 60, 30}, {1, 0xF1, 120, 0}},
         {{0xC0, 0, 5, 0}, {0xD0, 0, 70, 0}, {0xA0, 0, 60, 30}, {0xF1, 1, 120, 0}}},
        // Bend range 2 before any registration.
        {"bend full down", {{0, 0xE0, 0, 0}}, {{0xE0, 0, 0x00, 0xfe}}},
        {"bend full up", {{0, 0xE0, 0x7f, 0x7f}}, {{0xE0, 0, 0xff, 0x01}}},
        {"bend centre", {{0, 0xE0, 0, 0x40}}, {{0xE0, 0, 0, 0}}},
        {"bend range 12 registered",
         {{0, 0xB0, 101, 0}, {0, 0xB0, 100, 0}, {0, 0xB0, 6, 12}, {0, 0xE0, 0, 0}},
         {{0xE0, 0, 0x00, 0xf4}}},  // -8192 * 12 / 32 = -3072
        {"data entry under another RPN leaves the range",
         {{0, 0xB0, 101, 0}, {0, 0xB0, 100, 1}, {0, 0xB0, 6, 12}, {0, 0xE0, 0, 0}},
         {{0xE0, 0, 0x00, 0xfe}}},
        {"bend range 0 flattens every bend",
         {{5, 0xB0, 6, 0}, {5, 0xE0, 0x7f, 0x7f}, {5, 0xE0, 0, 0}},
         {{0xE0, 5, 0, 0}, {0xE0, 5, 0, 0}}},
        {"the range belongs to its channel", {{0, 0xB0, 6, 0}, {1, 0xE0, 0, 0}}, {{0xE0, 1, 0x00, 0xfe}}},
        // -1 * 2 = -2, / 32 toward minus infinity = -1.
        {"bend rounds toward minus infinity", {{0, 0xE0, 0x7f, 0x3f}}, {{0xE0, 0, 0xff, 0xff}}},
    };
    for (const RuleCase& c : cases) {
        std::vector<EventRecord> records = recorded(c.input);
        ASSERT_EQ(records.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const EventRecord& r = records[i];
            EXPECT_EQ((std::array<int, 4>{r.kind, r.channel, r.data1, r.data2}), c.expected[i]) << c.name;
        }
    }
}

TEST(RecordEvent, ResetRestoresTheChannelControls) {
    EventList list;
    ASSERT_EQ(reset(list), 0);
    record_event(list, 0, 0, 0xB0, 101, 3);
    record_event(list, 0, 0, 0xB0, 6, 0);
    ASSERT_EQ(reset(list), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.channels[0].bend_range, 2);
    EXPECT_EQ(list.channels[0].rpn_msb, 0);
}

TEST(EventList, GrowsInStepsWithoutLosingRecords) {
    EventList list;
    ASSERT_EQ(reset(list), 0);
    EXPECT_EQ(list.capacity, kEventListStep);
    for (std::uint32_t i = 0; i < kEventListStep + 1; ++i) ASSERT_EQ(record_event(list, i, 0, 0xC0, i & 0x7F, 0), 0);
    EXPECT_EQ(list.capacity, 2 * kEventListStep);
    ASSERT_EQ(list.count, kEventListStep + 1);
    for (std::uint32_t i = 0; i < list.count; ++i) {
        ASSERT_EQ(list.records[i].time, i);
        ASSERT_EQ(list.records[i].data1, i & 0x7F);
    }
}

// The list's records in the order the writer reads them.
std::vector<EventRecord> in_time_order(const EventList& list) {
    std::vector<EventRecord> order;
    TimeWalk walk = walk_in_time_order(list);
    while (const EventRecord* r = next_in_time(walk)) order.push_back(*r);
    return order;
}

TEST(SortEvents, IsStableByUnsignedTime) {
    // Three "tracks" of ascending times, as the reader appends them; data1
    // numbers the records in recorded order.
    const std::uint32_t times[] = {0, 10, 10, 0xFFFFFFF0u, 5, 10, 20, 0, 10, 0x80000000u, 0};
    EventList list;
    ASSERT_EQ(reset(list), 0);
    int n = 0;
    for (std::uint32_t t : times) record_event(list, t, 0, 0xC0, n++, 0);
    ASSERT_EQ(sort_events(list), 0);
    std::vector<std::pair<std::uint32_t, int>> order;
    for (const EventRecord& r : in_time_order(list)) order.emplace_back(r.time, r.data1);
    std::vector<std::pair<std::uint32_t, int>> expected = {
        {0, 0}, {0, 7}, {0, 10}, {5, 4}, {10, 1}, {10, 2}, {10, 5}, {10, 8}, {20, 6}, {0x80000000u, 9}, {0xFFFFFFF0u, 3}};
    EXPECT_EQ(order, expected);
}

TEST(SortEvents, MatchesAStableSortWhetherMergedOrSorted) {
    // Up to 32 runs are merged while walking; more are sorted in place.
    for (int tracks : {1, 2, 16, 32, 33, 37}) {
        EventList list;
        ASSERT_EQ(reset(list), 0);
        std::uint32_t state = 12345;
        std::vector<EventRecord> reference;
        for (int track = 0; track < tracks; ++track) {
            std::uint32_t time = 0;
            for (int i = 0; i < 500; ++i) {
                state = state * 1103515245u + 12345u;
                time += (state >> 16) % 7;
                record_event(list, time, track & 0x0F, 0xC0, i & 0x7F, 0);
                reference.push_back(list.records[list.count - 1]);
            }
        }
        std::stable_sort(reference.begin(), reference.end(),
                         [](const EventRecord& a, const EventRecord& b) { return a.time < b.time; });
        ASSERT_EQ(sort_events(list), 0);
        std::vector<EventRecord> order = in_time_order(list);
        ASSERT_EQ(order.size(), reference.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            ASSERT_EQ(order[i].time, reference[i].time) << tracks << " tracks, #" << i;
            ASSERT_EQ(order[i].channel, reference[i].channel) << tracks << " tracks, #" << i;
            ASSERT_EQ(order[i].data1, reference[i].data1) << tracks << " tracks, #" << i;
        }
    }
}

}  // namespace
