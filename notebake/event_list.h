// The merged list of channel events and tempo changes of one MIDI file, and
// the rules that rewrite events for the target's player as they are recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <memory>

// Kinds of record in the list; the channel message kinds are the upper four
// bits of their MIDI status byte.
enum EventKind : std::uint8_t {
    kNoteOff = 0x80,
    kNoteOn = 0x90,
    kKeyPressure = 0xA0,
    kControlChange = 0xB0,
    kProgramChange = 0xC0,
    kChannelPressure = 0xD0,
    kPitchBend = 0xE0,
    kTempo = 0xF1,
};

struct EventRecord {
    std::uint32_t time;     // ticks since the start of the record's own track
    std::uint8_t channel;   // 0 to 15; 1 for a tempo record
    std::uint8_t kind;      // an EventKind
    std::uint8_t data1;     // pitch bend: low byte of the offset; tempo: low byte of bpm
    std::uint8_t data2;     // pitch bend: high byte of the offset; tempo: high byte of bpm
};
static_assert(sizeof(EventRecord) == 8);

// Per-channel state that controllers set and later pitch bends read.
struct ChannelControls {
    std::int32_t bend_range = 2;  // semitones of full pitch-bend deflection
    std::int32_t rpn_lsb = 0;     // last value of controller 100
    std::int32_t rpn_msb = 0;     // last value of controller 101
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The list grows in fixed steps of this many records.
inline constexpr std::size_t kEventListStep = 8192;

// A list made of at most this many ascending runs (as a file of that many
// tracks gives) is walked in time order by merging the runs as it is read;
// a list of more runs is sorted in place first.
inline constexpr std::size_t kMaxMergedRuns = 32;

struct EventList {
    std::unique_ptr<EventRecord[], FreeDeleter> records;
    std::size_t count = 0;
    std::size_t capacity = 0;
    ChannelControls channels[16];
    // Set by sort_events: where each ascending run of `records` starts.
    std::size_t run_starts[kMaxMergedRuns] = {};
    std::size_t runs = 0;
};

// Empties the list, allocates its first step and resets every channel's
// controls. Returns 1 when memory is exhausted, else 0.
int reset(EventList& list);

// Applies the recording rules to one decoded event and appends at most one
// record. `kind` is the status byte's upper four bits or kTempo. Returns 1
// when the list cannot grow, else 0.
int record_event(EventList& list, std::uint32_t time, int channel, int kind, int data1, int data2);

// Orders the list by time, keeping records of equal time in recorded order:
// afterwards walk_in_time_order gives the records in that order. Returns 1
// when the sort's scratch memory cannot be had, else 0.
int sort_events(EventList& list);

// Reads a sorted list in time order, merging its runs on the way through a
// tournament tree: each node holds the smaller key of its two children,
// so the root names the run whose next record comes first.
struct TimeWalk {
    struct Run {
        const EventRecord* next;
        const EventRecord* end;
    };
    // A key orders by time, then by run: among records of equal time the
    // earlier run goes first, which keeps the order stable.
    static constexpr std::uint64_t key(std::uint32_t time, std::size_t run) {
        return std::uint64_t{time} << 32 | run;
    }
    static constexpr std::uint64_t kUsedUp = UINT64_MAX;

    Run runs[kMaxMergedRuns];
    std::uint64_t tree[2 * kMaxMergedRuns];  // root at 1, leaves from `leaves` on
    std::size_t leaves = 1;                  // a power of two, at least the runs
};

TimeWalk walk_in_time_order(const EventList& list);

// The next record in time order, or null after the last.
inline const EventRecord* next_in_time(TimeWalk& walk) {
    std::uint64_t first = walk.tree[1];
    if (first == TimeWalk::kUsedUp) return nullptr;
    auto r = static_cast<std::size_t>(first & 0xFFFFFFFF);
    TimeWalk::Run& run = walk.runs[r];
    const EventRecord* record = run.next++;
    std::size_t node = walk.leaves + r;
    walk.tree[node] = run.next != run.end ? TimeWalk::key(run.next->time, r) : TimeWalk::kUsedUp;
    for (node /= 2; node >= 1; node /= 2) walk.tree[node] = std::min(walk.tree[2 * node], walk.tree[2 * node + 1]);
    return record;
}

// Frees the records; the list is empty afterwards.
void release(EventList& list);
