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

// Controllers that the recording rules treat specially.
inline constexpr int kDataEntry = 6;
inline constexpr int kVolume = 7;
inline constexpr int kRpnLsb = 100;
inline constexpr int kRpnMsb = 101;
inline constexpr int kPlayerRenumbered = 111;
inline constexpr int kPlayerNumber = 56;

// The part of the recording rules that sets the channel controls: the
// parameter selects 100 and 101 and data entry 6. Returns false for those,
// which make no record; true for every event that makes one.
inline bool update_controls(ChannelControls (&channels)[16], int channel, int kind, int data1, int data2) {
    if (kind != kControlChange || (data1 != kDataEntry && data1 != kRpnLsb && data1 != kRpnMsb)) return true;
    ChannelControls& controls = channels[channel & 0x0F];
    if (data1 == kRpnLsb) {
        controls.rpn_lsb = data2;
    } else if (data1 == kRpnMsb) {
        controls.rpn_msb = data2;
    } else if (controls.rpn_lsb == 0 && controls.rpn_msb == 0) {
        // Only registered parameter 0/0, the pitch-bend range, is kept.
        controls.bend_range = data2;
    }
    return false;
}

// Scales a 7-bit level so that full scale 127 becomes 128 (0 to 126 stay).
inline int scale_level(int value) { return value * 128 / 127; }

// A pitch bend in 1/256 semitone: full deflection equals the bend range.
inline std::int16_t pitch_offset(int data1, int data2, std::int32_t bend_range) {
    std::int32_t bend = (data2 - 64) * 128 + data1;
    // Division by 32 rounding toward minus infinity; >> on a negative value
    // is an arithmetic shift in C++20.
    std::int32_t scaled = (bend * bend_range) >> 5;
    return static_cast<std::int16_t>(scaled);
}

// The record an event makes, rewritten by the recording rules with the
// channel controls in force: velocity and volume scaled, controller 111
// renumbered, a pitch bend turned into a pitch offset.
inline EventRecord make_record(const ChannelControls (&channels)[16], std::uint32_t time, int channel, int kind,
                               int data1, int data2) {
    // Every rule is worked out and the one for the kind picked, with no
    // branch on the kind: the events of a file come in no foreseeable order.
    bool note_on = kind == kNoteOn;
    bool control = kind == kControlChange;
    bool bend = kind == kPitchBend;
    int scaled = scale_level(data2);
    auto offset = static_cast<std::uint16_t>(pitch_offset(data1, data2, channels[channel & 0x0F].bend_range));
    // Tested before the cut to 8 bits: only velocity 0 ends a note here.
    int new_kind = note_on && scaled == 0 ? kNoteOff : kind;
    int new_data1 = control && data1 == kPlayerRenumbered ? kPlayerNumber : data1;
    int new_data2 = note_on || (control && data1 == kVolume) ? scaled : data2;
    new_data1 = bend ? offset & 0xFF : new_data1;
    new_data2 = bend ? offset >> 8 : new_data2;
    return EventRecord{time, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(new_kind),
                       static_cast<std::uint8_t>(new_data1), static_cast<std::uint8_t>(new_data2)};
}

// Applies the recording rules to one decoded event, reading and setting the
// controls in `channels`. Returns false when the event only sets controls;
// else true with the record it makes in `record`. `kind` is the status
// byte's upper four bits or kTempo.
inline bool apply_recording_rules(ChannelControls (&channels)[16], std::uint32_t time, int channel, int kind,
                                  int data1, int data2, EventRecord& record) {
    if (!update_controls(channels, channel, kind, data1, data2)) return false;
    record = make_record(channels, time, channel, kind, data1, data2);
    return true;
}

// Applies the recording rules to one decoded event and appends at most one
// record. `kind` is the status byte's upper four bits or kTempo. Returns 1
// when the list cannot grow, else 0.
int record_event(EventList& list, std::uint32_t time, int channel, int kind, int data1, int data2);

// Orders the list by time, keeping records of equal time in recorded order:
// afterwards walk_in_time_order gives the records in that order. Returns 1
// when the sort's scratch memory cannot be had, else 0.
int sort_events(EventList& list);

// A tournament tree over up to kMaxMergedRuns runs of records, each in
// ascending time order. Every node keeps the key that lost the match there,
// so the next winner is found by walking one path from a leaf to the root
// with one comparison at each node, and no branch on which side won.
struct RunTree {
    // A key orders by time, then by run: among records of equal time the
    // earlier run goes first, which keeps the order stable.
    static constexpr std::uint64_t key(std::uint32_t time, std::size_t run) {
        return std::uint64_t{time} << 32 | run;
    }
    static constexpr std::uint64_t kUsedUp = UINT64_MAX;

    // Nodes 1 (the root) to leaves - 1; run r's leaf would be node leaves + r.
    std::uint64_t losers[kMaxMergedRuns];
    std::uint64_t winner = kUsedUp;
    std::uint64_t leaf_keys[kMaxMergedRuns];  // while the tree is built
    std::size_t leaves = 1;                   // a power of two, at least the runs
};

// A tree of `runs` leaves that all read as used up; set_leaf gives them
// their keys, then build_tree plays the first round.
void start_tree(RunTree& tree, std::size_t runs);

inline void set_leaf(RunTree& tree, std::size_t run, std::uint64_t key) { tree.leaf_keys[run] = key; }

void build_tree(RunTree& tree);

// The key of the record that comes first, or kUsedUp.
inline std::uint64_t first_key(const RunTree& tree) { return tree.winner; }

inline std::size_t run_of(std::uint64_t key) { return static_cast<std::size_t>(key & 0xFFFFFFFF); }

// Gives the winning run `run` the key of its next record (kUsedUp when it
// has none left) and finds the next winner.
inline void replace_key(RunTree& tree, std::size_t run, std::uint64_t key) {
    for (std::size_t node = (tree.leaves + run) / 2; node >= 1; node /= 2) {
        std::uint64_t loser = tree.losers[node];
        bool beaten = loser < key;
        tree.losers[node] = beaten ? key : loser;
        key = beaten ? loser : key;
    }
    tree.winner = key;
}

// Reads a sorted list in time order, merging its runs on the way.
struct TimeWalk {
    struct Run {
        const EventRecord* next;
        const EventRecord* end;
    };
    Run runs[kMaxMergedRuns];
    RunTree tree;
};

TimeWalk walk_in_time_order(const EventList& list);

// The next record in time order, or null after the last.
inline const EventRecord* next_in_time(TimeWalk& walk) {
    std::uint64_t first = first_key(walk.tree);
    if (first == RunTree::kUsedUp) return nullptr;
    std::size_t r = run_of(first);
    TimeWalk::Run& run = walk.runs[r];
    const EventRecord* record = run.next++;
    replace_key(walk.tree, r, run.next != run.end ? RunTree::key(run.next->time, r) : RunTree::kUsedUp);
    return record;
}

// Frees the records; the list is empty afterwards.
void release(EventList& list);
