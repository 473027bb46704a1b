#include "event_list.h"

#include <algorithm>
#include <cstring>

namespace {

// Controllers that the recording rules treat specially.
constexpr int kDataEntry = 6;
constexpr int kVolume = 7;
constexpr int kRpnLsb = 100;
constexpr int kRpnMsb = 101;
constexpr int kPlayerRenumbered = 111;
constexpr int kPlayerNumber = 56;

int append(EventList& list, EventRecord record) {
    if (list.count == list.capacity) {
        std::size_t capacity = list.capacity + kEventListStep;
        void* grown = std::realloc(list.records.get(), capacity * sizeof(EventRecord));
        if (!grown) return 1;
        list.records.release();
        list.records.reset(static_cast<EventRecord*>(grown));
        list.capacity = capacity;
    }
    // Runs are noted as they form: a record earlier than the one before it
    // starts a new ascending run (a new track, or a time that wrapped).
    if (list.count == 0 || record.time < list.records[list.count - 1].time) {
        if (list.runs < kMaxMergedRuns) list.run_starts[list.runs] = list.count;
        if (list.runs <= kMaxMergedRuns) ++list.runs;
    }
    list.records[list.count++] = record;
    return 0;
}

// Scales a 7-bit level so that full scale 127 becomes 128 (0 to 126 stay).
int scale_level(int value) { return value * 128 / 127; }

// A pitch bend in 1/256 semitone: full deflection equals the bend range.
std::int16_t pitch_offset(int data1, int data2, std::int32_t bend_range) {
    std::int32_t bend = (data2 - 64) * 128 + data1;
    // Division by 32 rounding toward minus infinity; >> on a negative value
    // is an arithmetic shift in C++20.
    std::int32_t scaled = (bend * bend_range) >> 5;
    return static_cast<std::int16_t>(scaled);
}

// Returns the end of the ascending run that starts at `begin`.
std::size_t run_end(const EventRecord* records, std::size_t begin, std::size_t count) {
    std::size_t i = begin + 1;
    while (i < count && records[i].time >= records[i - 1].time) ++i;
    return i;
}

// Merges the adjacent runs [begin, middle) and [middle, end) of `from` into
// `to`; on equal times the left run goes first, which keeps the sort stable.
void merge_runs(const EventRecord* from, EventRecord* to, std::size_t begin, std::size_t middle,
                std::size_t end) {
    std::size_t left = begin, right = middle, out = begin;
    while (left < middle && right < end)
        to[out++] = from[right].time < from[left].time ? from[right++] : from[left++];
    while (left < middle) to[out++] = from[left++];
    while (right < end) to[out++] = from[right++];
}

}  // namespace

int reset(EventList& list) {
    release(list);
    for (ChannelControls& controls : list.channels) controls = ChannelControls{};
    list.records.reset(static_cast<EventRecord*>(std::malloc(kEventListStep * sizeof(EventRecord))));
    if (!list.records) return 1;
    list.capacity = kEventListStep;
    return 0;
}

void release(EventList& list) {
    list.records.reset();
    list.count = 0;
    list.capacity = 0;
    list.runs = 0;
}

int record_event(EventList& list, std::uint32_t time, int channel, int kind, int data1, int data2) {
    ChannelControls& controls = list.channels[channel & 0x0F];
    if (kind == kControlChange) {
        switch (data1) {
            case kRpnLsb:
                controls.rpn_lsb = data2;
                return 0;
            case kRpnMsb:
                controls.rpn_msb = data2;
                return 0;
            case kDataEntry:
                // Only registered parameter 0/0, the pitch-bend range, is kept.
                if (controls.rpn_lsb == 0 && controls.rpn_msb == 0) controls.bend_range = data2;
                return 0;
            case kVolume:
                data2 = scale_level(data2);
                break;
            case kPlayerRenumbered:
                data1 = kPlayerNumber;
                break;
            default:
                break;
        }
    } else if (kind == kNoteOn) {
        // Tested before the cut to 8 bits: only velocity 0 ends a note here.
        data2 = scale_level(data2);
        if (data2 == 0) kind = kNoteOff;
    } else if (kind == kPitchBend) {
        auto offset = static_cast<std::uint16_t>(pitch_offset(data1, data2, controls.bend_range));
        data1 = offset & 0xFF;
        data2 = offset >> 8;
    }
    return append(list, EventRecord{time, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(kind),
                                    static_cast<std::uint8_t>(data1), static_cast<std::uint8_t>(data2)});
}

namespace {

// Sorts the list in place with a natural merge sort, for lists of too
// many runs to merge while walking.
int merge_sort(EventList& list) {
    std::size_t count = list.count;
    std::unique_ptr<EventRecord[], FreeDeleter> scratch(
        static_cast<EventRecord*>(std::malloc(count * sizeof(EventRecord))));
    if (!scratch) return 1;
    EventRecord* from = list.records.get();
    EventRecord* to = scratch.get();
    for (;;) {
        std::size_t runs = 0;
        for (std::size_t begin = 0; begin < count; ++runs) {
            std::size_t middle = run_end(from, begin, count);
            std::size_t end = middle < count ? run_end(from, middle, count) : count;
            merge_runs(from, to, begin, middle, end);
            begin = end;
        }
        std::swap(from, to);
        if (runs == 1) break;
    }
    if (from != list.records.get()) std::memcpy(list.records.get(), from, count * sizeof(EventRecord));
    return 0;
}

}  // namespace

int sort_events(EventList& list) {
    // Each track's times only grow (unless they wrap), so the list is
    // usually one ascending run per track: few enough to merge while the
    // writer walks them, with no copy and no scratch memory.
    if (list.runs <= kMaxMergedRuns) return 0;
    if (merge_sort(list) != 0) return 1;
    list.run_starts[0] = 0;
    list.runs = 1;
    return 0;
}

TimeWalk walk_in_time_order(const EventList& list) {
    TimeWalk walk;
    const EventRecord* records = list.records.get();
    while (walk.leaves < list.runs) walk.leaves *= 2;
    std::fill(walk.tree, walk.tree + 2 * walk.leaves, TimeWalk::kUsedUp);
    for (std::size_t r = 0; r < list.runs; ++r) {
        std::size_t end = r + 1 < list.runs ? list.run_starts[r + 1] : list.count;
        walk.runs[r] = TimeWalk::Run{records + list.run_starts[r], records + end};
        walk.tree[walk.leaves + r] = TimeWalk::key(walk.runs[r].next->time, r);
    }
    for (std::size_t node = walk.leaves - 1; node >= 1; --node)
        walk.tree[node] = std::min(walk.tree[2 * node], walk.tree[2 * node + 1]);
    return walk;
}
