#include "run_merge.h"

#include <algorithm>
#include <iterator>

namespace {

// Events the first walk decodes at a time.
constexpr std::size_t kPlanBatch = 256;

// The walk as it stood just before the `index`th of the events decoded
// from `batch_start` on.
TrackWalk walk_before(SourceReader& file, TrackWalk batch_start, std::size_t index) {
    EventRecord skipped;
    for (std::size_t i = 0; i < index; ++i) next_event(file, batch_start, skipped);
    return batch_start;
}

}  // namespace

ReadStatus plan_runs(SourceReader& file, TrackWalk walk, RunPlan& plan) {
    plan.count = 0;
    plan.too_many = false;
    ChannelControls channels[16];
    std::uint32_t last_time = 0;
    EventRecord events[kPlanBatch];
    for (;;) {
        TrackWalk batch_start = walk;
        std::size_t count = next_events(file, walk, events, kPlanBatch);
        if (count == 0) return walk.status;
        for (std::size_t i = 0; i < count; ++i) {
            const EventRecord& event = events[i];
            if (!update_controls(channels, event.channel, event.kind, event.data1, event.data2)) continue;
            // A record earlier than the one before starts a new run: a new
            // track, or a time that wrapped.
            if (plan.count == 0 || event.time < last_time) {
                if (plan.count == kMaxMergedRuns) {
                    plan.too_many = true;
                    return ReadStatus::ok;
                }
                RunStart& run = plan.runs[plan.count++];
                // Rare enough to find the exact place by decoding again.
                run.walk = walk_before(file, batch_start, i);
                std::copy(std::begin(channels), std::end(channels), run.channels);
                run.records = 0;
            }
            ++plan.runs[plan.count - 1].records;
            last_time = event.time;
        }
        if (count < kPlanBatch && walk.status != ReadStatus::ok) return walk.status;
    }
}

bool decode_batch(RunCursor& cursor, bool& failed) {
    cursor.batch_size = 0;
    cursor.batch_next = 0;
    // No more events than records are wanted are decoded, so the batch
    // never takes in a record of the next run.
    std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(cursor.left, kRunBatch));
    while (cursor.batch_size < wanted) {
        EventRecord* events = cursor.batch + cursor.batch_size;
        std::size_t count = next_events(cursor.reader, cursor.walk, events, wanted - cursor.batch_size);
        if (count == 0) {
            failed = true;
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const EventRecord event = events[i];
            if (apply_recording_rules(cursor.channels, event.time, event.channel, event.kind, event.data1,
                                      event.data2, cursor.batch[cursor.batch_size]))
                ++cursor.batch_size;
        }
    }
    cursor.left -= wanted;
    return wanted != 0;
}

void refill_run(RunMerge& merge, std::size_t r) {
    RunCursor& cursor = merge.cursors[r];
    bool more = decode_batch(cursor, merge.failed);
    replace_key(merge.tree, r, more ? RunTree::key(cursor.batch[0].time, r) : RunTree::kUsedUp);
    if (merge.failed) merge.tree.winner = RunTree::kUsedUp;
}

bool start_merge(SourceReader& file, const RunPlan& plan, RunMerge& merge) {
    merge.failed = false;
    start_tree(merge.tree, plan.count);
    std::size_t window = std::min(kRunWindow, std::max<std::size_t>(file.window_capacity, 1));
    for (std::size_t r = 0; r < plan.count; ++r) {
        RunCursor& cursor = merge.cursors[r];
        const RunStart& start = plan.runs[r];
        cursor.reader = share_reader(file, window);
        cursor.walk = start.walk;
        std::copy(std::begin(start.channels), std::end(start.channels), cursor.channels);
        cursor.left = start.records;
        if (!decode_batch(cursor, merge.failed)) {
            merge.failed = true;
            break;
        }
        set_leaf(merge.tree, r, RunTree::key(cursor.batch[0].time, r));
    }
    build_tree(merge.tree);
    return !merge.failed;
}

void close_merge(RunMerge& merge) {
    for (RunCursor& cursor : merge.cursors) close_reader(cursor.reader);
}
