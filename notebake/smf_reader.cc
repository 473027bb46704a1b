#include "smf_reader.h"

#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t kHeaderSize = 14;
constexpr std::uint64_t kChunkHeadSize = 8;
constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kSetTempo = 0x51;

// Bytes that always hold a channel message with a delta time of up to four
// bytes; events with fewer bytes left in the file take the careful path.
constexpr std::size_t kQuickEventBytes = 8;

std::uint32_t be16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] << 8 | p[1]); }

std::uint32_t be32(const std::uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

// Why bytes that were needed could not be had: they lie past the end of the
// file, or the file could not be read.
ReadStatus missing(const SourceReader& file) {
    return file.failed ? ReadStatus::unreadable : ReadStatus::track_truncated;
}

// Copies the `count` bytes at `pos` into `out`, as zeros past the end of
// the file: the header checks look at the file through that view.
bool copy_head(SourceReader& file, std::uint64_t pos, std::uint8_t* out, std::size_t count) {
    std::span<const std::uint8_t> bytes = reader_bytes(file, pos, count);
    if (bytes.empty()) return false;
    std::memcpy(out, bytes.data(), count);
    return true;
}

// Data bytes that follow a channel status byte, by its upper four bits.
int data_byte_count(std::uint8_t status) {
    std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Beats per minute of a set-tempo value in microseconds per quarter note:
// 60 / (tempo x 0.000001) in doubles, truncated, which for every tempo from
// 1 up equals 60000000 / tempo. A tempo of 0 (an infinite quotient) gives 0.
std::uint32_t tempo_to_bpm(std::uint32_t microseconds) {
    if (microseconds == 0) return 0;
    double seconds = static_cast<double>(microseconds) * 0.000001;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(60.0 / seconds));
}

EventRecord channel_event(std::uint32_t time, std::uint8_t status, const std::uint8_t* data, int data_bytes) {
    return EventRecord{time, static_cast<std::uint8_t>(status & 0x0F), static_cast<std::uint8_t>(status & 0xF0),
                       data[0], data_bytes == 2 ? data[1] : std::uint8_t{0}};
}

// A channel message whose data bytes start at `data_pos`.
DispatchResult channel_message(SourceReader& file, std::uint8_t status, std::uint64_t data_pos, std::uint32_t time,
                               EventRecord& event) {
    int data_bytes = data_byte_count(status);
    const std::uint8_t* data = file_bytes(file, data_pos, static_cast<std::size_t>(data_bytes));
    if (!data) return {missing(file), 0};
    event = channel_event(time, status, data, data_bytes);
    return {ReadStatus::ok, static_cast<std::uint64_t>(data_bytes), true};
}

// Skips a length-prefixed payload whose length starts at `pos`; `length`
// becomes the bytes from `pos` to the end of the payload.
ReadStatus skip_payload(SourceReader& file, std::uint64_t pos, VarLen& size, std::uint64_t& length) {
    if (!read_var_len(file, pos, size)) return missing(file);
    if (pos + size.size + size.value > file.length) return ReadStatus::track_truncated;
    length = size.size + size.value;
    return ReadStatus::ok;
}

DispatchResult meta_event(SourceReader& file, std::uint64_t pos, std::uint32_t time, EventRecord& event) {
    const std::uint8_t* type_byte = file_bytes(file, pos + 1, 1);
    if (!type_byte) return {missing(file), 0};
    std::uint8_t type = *type_byte;
    VarLen size;
    std::uint64_t payload = 0;
    ReadStatus status = skip_payload(file, pos + 2, size, payload);
    if (status != ReadStatus::ok) return {status, 0};
    if (type != kSetTempo) return {ReadStatus::ok, 2 + payload};
    // The tempo is the three bytes after the length, whatever the length says.
    const std::uint8_t* tempo = file_bytes(file, pos + 2 + size.size, 3);
    if (!tempo) return {missing(file), 0};
    std::uint32_t bpm = tempo_to_bpm(be16(tempo) << 8 | tempo[2]);
    event = EventRecord{time, 1, kTempo, static_cast<std::uint8_t>(bpm & 0xFF), static_cast<std::uint8_t>((bpm >> 8) & 0xFF)};
    return {ReadStatus::ok, 2 + payload, true};
}

bool stop(TrackWalk& walk, ReadStatus status) {
    walk.status = status;
    return false;
}

// Starts the track chunk whose head lies at walk.pos.
bool begin_chunk(SourceReader& file, TrackWalk& walk) {
    std::uint8_t head[kChunkHeadSize];
    if (!copy_head(file, walk.pos, head, kChunkHeadSize)) return stop(walk, ReadStatus::unreadable);
    if (!tag_at(ByteView{head, kChunkHeadSize}, 0, "MTrk")) return stop(walk, ReadStatus::track_illegal);
    if (walk.pos + kChunkHeadSize > file.length) return stop(walk, ReadStatus::track_truncated);
    walk.chunk_length = static_cast<std::int32_t>(be32(head + 4));
    walk.pos += kChunkHeadSize;
    walk.consumed = 0;
    walk.track_time = 0;
    --walk.tracks_left;
    return true;
}

// Decodes, straight from the window, the plain events from walk.pos on:
// channel messages with a delta time of up to four bytes whose bytes all lie
// in the file and the window. Stops before anything else (a meta or system
// event, the end of the chunk or of the window, a data byte with no
// running status), which the careful path then takes. Returns the count.
std::size_t quick_channel_events(SourceReader& file, TrackWalk& walk, EventRecord* events, std::size_t capacity) {
    if (walk.pos > file.length || file.length - walk.pos < kQuickEventBytes) return 0;
    std::span<const std::uint8_t> bytes = reader_bytes(file, walk.pos, kQuickEventBytes);
    if (bytes.empty()) return 0;
    const std::uint8_t* const begin = bytes.data();
    const std::uint8_t* p = begin;
    // The last place where kQuickEventBytes bytes of the file still follow.
    const std::uint8_t* const last =
        begin + (std::min<std::uint64_t>(bytes.size(), file.length - walk.pos) - kQuickEventBytes);
    std::uint32_t consumed = walk.consumed;
    std::uint32_t time = walk.track_time;
    std::uint8_t running = walk.running_status;
    std::size_t count = 0;
    const std::int32_t chunk_length = walk.chunk_length;
    while (count < capacity && p <= last && static_cast<std::int32_t>(consumed) < chunk_length) {
        // The event's first eight bytes, the first in the low byte: every
        // part of the event is shifted out of this one load, which keeps
        // the steps from one event to the next few.
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < kQuickEventBytes; ++i) word |= static_cast<std::uint64_t>(p[i]) << (8 * i);
        // The first byte with its top bit clear ends the delta time; it is
        // decoded without a branch on its length, which varies from event
        // to event.
        auto ends = static_cast<std::uint32_t>(~word & 0x80808080u);
        if (ends == 0) break;  // five bytes or more
        auto delta_bytes = static_cast<unsigned>(std::countr_zero(ends) / 8 + 1);
        auto all_four = static_cast<std::uint32_t>((word & 0x7F) << 21 | (word >> 8 & 0x7F) << 14 |
                                                   (word >> 16 & 0x7F) << 7 | (word >> 24 & 0x7F));
        std::uint32_t delta = all_four >> (7 * (4 - delta_bytes));

        auto byte = static_cast<std::uint8_t>(word >> (8 * delta_bytes));
        bool has_status = byte >= 0x80;
        std::uint8_t status = has_status ? byte : running;
        // A system or meta event, or a data byte with no running status.
        if (status < 0x80 || status >= 0xF0) break;
        running = status;
        unsigned data_at = delta_bytes + (has_status ? 1 : 0);
        auto data_bytes = static_cast<unsigned>(data_byte_count(status));
        auto data = static_cast<std::uint16_t>(word >> (8 * data_at));
        time += delta;
        events[count++] = EventRecord{time, static_cast<std::uint8_t>(status & 0x0F),
                                      static_cast<std::uint8_t>(status & 0xF0), static_cast<std::uint8_t>(data),
                                      static_cast<std::uint8_t>(data_bytes == 2 ? data >> 8 : 0)};
        unsigned length = data_at + data_bytes;
        p += length;
        consumed += length;
    }
    walk.pos += static_cast<std::uint64_t>(p - begin);
    walk.consumed = consumed;
    walk.track_time = time;
    walk.running_status = running;
    return count;
}

}  // namespace

const char* reader_message(ReadStatus status) {
    switch (status) {
        case ReadStatus::ok: return "";
        case ReadStatus::header_illegal: return "\nHeaderChunk Illegal, abort...\n";
        case ReadStatus::header_length_illegal: return "\nHeaderChunk Length Illegal, abort...\n";
        case ReadStatus::header_truncated: return "\nHeaderChunk Truncated, abort...\n";
        case ReadStatus::track_illegal: return "\nTrackChunk Illegal, abort...\n";
        case ReadStatus::track_truncated: return "\nTrackChunk Truncated, abort...\n";
        case ReadStatus::running_status_illegal: return "\nRunning Status Illegal, abort...\n";
        case ReadStatus::out_of_memory: return "Error: Not enough memory.\n";
        case ReadStatus::unreadable: return "";
    }
    return "";
}

ReadStatus report_failure(ReadStatus status, TextSink& errors) {
    if (status != ReadStatus::ok && status != ReadStatus::unreadable) sink_write(errors, reader_message(status));
    return status;
}

bool read_var_len(SourceReader& file, std::uint64_t pos, VarLen& out) {
    out = VarLen{};
    // No limit on the number of bytes: the end of the file bounds the loop.
    for (;;) {
        const std::uint8_t* next = file_bytes(file, pos + out.size, 1);
        if (!next) return false;
        std::uint8_t byte = *next;
        ++out.size;
        out.value = out.value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
    }
}

DispatchResult dispatch_event(SourceReader& file, std::uint8_t status, std::uint64_t pos, TrackWalk& walk,
                              EventRecord& event) {
    if (status == kMeta) return meta_event(file, pos, walk.track_time, event);
    if (status >= 0xF0) {
        // System exclusive and the other system bytes: a length, then skip.
        VarLen size;
        std::uint64_t payload = 0;
        ReadStatus result = skip_payload(file, pos + 1, size, payload);
        return {result, 1 + payload};
    }
    if (status < 0x80) {
        // A data byte: the message continues under the running status, as if
        // that status byte stood just before this one.
        if (walk.running_status == 0) return {ReadStatus::running_status_illegal, 0};
        return channel_message(file, walk.running_status, pos, walk.track_time, event);
    }
    walk.running_status = status;
    DispatchResult result = channel_message(file, status, pos + 1, walk.track_time, event);
    result.length += 1;
    return result;
}

bool next_event(SourceReader& file, TrackWalk& walk, EventRecord& event) {
    for (;;) {
        // Compared as signed 32-bit numbers: a length of 2^31 or more reads
        // no events. Every event lies inside the file, so `consumed` cannot
        // wrap. The next chunk starts right after the last event decoded.
        while (static_cast<std::int32_t>(walk.consumed) >= walk.chunk_length) {
            if (walk.tracks_left == 0) return stop(walk, ReadStatus::ok);
            if (!begin_chunk(file, walk)) return false;
        }
        if (quick_channel_events(file, walk, &event, 1) == 1) return true;

        VarLen delta;
        if (!read_var_len(file, walk.pos, delta)) return stop(walk, missing(file));
        walk.track_time += delta.value;
        std::uint64_t status_pos = walk.pos + delta.size;
        const std::uint8_t* status = file_bytes(file, status_pos, 1);
        if (!status) return stop(walk, missing(file));
        DispatchResult decoded = dispatch_event(file, *status, status_pos, walk, event);
        if (decoded.status != ReadStatus::ok) return stop(walk, decoded.status);
        walk.pos = status_pos + decoded.length;
        walk.consumed += static_cast<std::uint32_t>(delta.size + decoded.length);
        if (decoded.has_event) return true;
    }
}

std::size_t next_events(SourceReader& file, TrackWalk& walk, EventRecord* events, std::size_t capacity) {
    std::size_t count = 0;
    while (count < capacity) {
        count += quick_channel_events(file, walk, events + count, capacity - count);
        if (count == capacity || !next_event(file, walk, events[count])) break;
        ++count;
    }
    return count;
}

ReadStatus read_header(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, TrackWalk& walk) {
    std::uint8_t header[kHeaderSize];
    ReadStatus status = ReadStatus::ok;
    if (!copy_head(file, 0, header, kHeaderSize))
        status = ReadStatus::unreadable;
    else if (!tag_at(ByteView{header, kHeaderSize}, 0, "MThd"))
        status = ReadStatus::header_illegal;
    else if (be32(header + 4) != 6)
        status = ReadStatus::header_length_illegal;
    else if (file.length < kHeaderSize)
        status = ReadStatus::header_truncated;
    if (status != ReadStatus::ok) return report_failure(status, errors);

    std::uint32_t format = be16(header + 8);
    std::uint32_t tracks = be16(header + 10);
    reader.division = static_cast<std::uint16_t>(be16(header + 12) & 0x7FFF);
    sink_write(out, "\t@ SMF Format : ");
    sink_write_int(out, format);
    sink_write(out, "\n\t@ Max Tracks : ");
    sink_write_int(out, tracks);
    sink_write(out, "\n\t@ CPQN       : ");
    sink_write_int(out, reader.division);
    sink_write(out, "\n");

    walk = TrackWalk{};
    walk.pos = kHeaderSize;
    walk.tracks_left = tracks;
    return ReadStatus::ok;
}

ReadStatus record_tracks(SourceReader& file, TrackWalk walk, TextSink& errors, EventList& events) {
    EventRecord event;
    while (next_event(file, walk, event))
        if (record_event(events, event.time, event.channel, event.kind, event.data1, event.data2) != 0)
            return report_failure(ReadStatus::out_of_memory, errors);
    return report_failure(walk.status, errors);
}

ReadStatus read_smf(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, EventList& events) {
    TrackWalk walk;
    ReadStatus status = read_header(file, out, errors, reader, walk);
    if (status != ReadStatus::ok) return status;
    return record_tracks(file, walk, errors, events);
}
