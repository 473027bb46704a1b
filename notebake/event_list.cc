#include "event_list.h"

#include <algorithm>
#include <cstring>

namespace {

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
    EventRecord record;
    if (!apply_recording_rules(list.channels, time, channel, kind, data1, data2, record)) return 0;
    return append(list, record);
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

void start_tree(RunTree& tree, std::size_t runs) {
    tree.leaves = 1;
    while (tree.leaves < runs) tree.leaves *= 2;
    std::fill(tree.leaf_keys, tree.leaf_keys + tree.leaves, RunTree::kUsedUp);
}

void build_tree(RunTree& tree) {
    // Winners of each node's match, bottom up; the losers stay in the nodes.
    std::uint64_t winners[2 * kMaxMergedRuns];
    std::copy(tree.leaf_keys, tree.leaf_keys + tree.leaves, winners + tree.leaves);
    for (std::size_t node = tree.leaves - 1; node >= 1; --node) {
        std::uint64_t left = winners[2 * node], right = winners[2 * node + 1];
        winners[node] = std::min(left, right);
        tree.losers[node] = std::max(left, right);
    }
    tree.winner = winners[1];
}

TimeWalk walk_in_time_order(const EventList& list) {
    TimeWalk walk;
    const EventRecord* records = list.records.get();
    start_tree(walk.tree, list.runs);
    for (std::size_t r = 0; r < list.runs; ++r) {
        std::size_t end = r + 1 < list.runs ? list.run_starts[r + 1] : list.count;
        walk.runs[r] = TimeWalk::Run{records + list.run_starts[r], records + end};
        set_leaf(walk.tree, r, RunTree::key(walk.runs[r].next->time, r));
    }
    build_tree(walk.tree);
    return walk;
}
