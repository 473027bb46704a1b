// Time order without holding the events. The recording rules must see the
// events in file order, yet the table is written in time order. Each
// track's records come in ascending time, so the records form a few
// ascending runs in file order. A first walk through the file notes where
// each run starts, with the walk's state and the channel controls there;
// each run can then be decoded again on its own from that point, and the
// runs are merged in time order as they are decoded.
#pragma once

#include <cstdint>

#include "event_list.h"
#include "smf_reader.h"
#include "source_file.h"

// Where one run starts: everything needed to decode its records again.
struct RunStart {
    TrackWalk walk;                // just before the run's first event
    ChannelControls channels[16];  // as they stand there
    std::uint64_t records = 0;     // in the run
};

struct RunPlan {
    RunStart runs[kMaxMergedRuns];
    std::size_t count = 0;
    bool too_many = false;  // the file makes more runs than can be merged
};

// Walks the tracks from `walk` on, applying the rules that set the channel
// controls, and notes where each run of records starts. Stops early, with too_many set, at the
// first run too many. Returns how the walk ended.
ReadStatus plan_runs(SourceReader& file, TrackWalk walk, RunPlan& plan);

// Records a run decodes at a time: the decoder then runs in a tight loop
// over one part of the file, apart from the merge.
inline constexpr std::size_t kRunBatch = 256;

// One run being decoded again.
struct RunCursor {
    SourceReader reader;  // a window of its own onto the file
    TrackWalk walk;
    ChannelControls channels[16];
    std::uint64_t left = 0;  // records not yet decoded
    EventRecord batch[kRunBatch];
    std::size_t batch_size = 0;
    std::size_t batch_next = 0;  // the run's next record in `batch`
};

struct RunMerge {
    RunCursor cursors[kMaxMergedRuns];
    RunTree tree;
    // The file no longer decoded as the plan found it (it could not be read
    // again, or it changed in between).
    bool failed = false;
};

// Each cursor reads the file through a window of its own of this size (or
// of the file reader's size, when that is smaller).
inline constexpr std::size_t kRunWindow = 16 << 10;

// Takes up every run of `plan` where it starts. False when the file cannot
// be read again (merge.failed); the caller reports it.
bool start_merge(SourceReader& file, const RunPlan& plan, RunMerge& merge);

// Decodes the run's next batch of records. False when the run is used up
// or could not be decoded again (then `failed` is set).
bool decode_batch(RunCursor& cursor, bool& failed);

// Decodes the next batch of run `r`, whose last record was just taken, and
// gives the run its next key. On failure ends the whole merge.
void refill_run(RunMerge& merge, std::size_t r);

// The next record of the file in time order. After the last one, or on
// failure (merge.failed), a record of kind 0, which no record has.
inline EventRecord next_merged(RunMerge& merge) {
    std::uint64_t first = first_key(merge.tree);
    if (first == RunTree::kUsedUp) return EventRecord{};
    std::size_t r = run_of(first);
    RunCursor& cursor = merge.cursors[r];
    EventRecord record = cursor.batch[cursor.batch_next++];
    if (cursor.batch_next < cursor.batch_size)
        replace_key(merge.tree, r, RunTree::key(cursor.batch[cursor.batch_next].time, r));
    else
        refill_run(merge, r);
    return record;
}

void close_merge(RunMerge& merge);
