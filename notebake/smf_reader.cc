#include "smf_reader.h"

#include <cstring>

namespace {

constexpr std::uint64_t kHeaderSize = 14;
constexpr std::uint64_t kChunkHeadSize = 8;
constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kSetTempo = 0x51;

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

ReadStatus record(EventList& events, std::uint32_t time, int channel, int kind, int data1, int data2) {
    return record_event(events, time, channel, kind, data1, data2) == 0 ? ReadStatus::ok
                                                                        : ReadStatus::out_of_memory;
}

// A channel message whose data bytes start at `data_pos`.
DispatchResult channel_message(SourceReader& file, std::uint8_t status, std::uint64_t data_pos, EventList& events,
                               std::uint32_t time) {
    int data_bytes = data_byte_count(status);
    const std::uint8_t* data = file_bytes(file, data_pos, static_cast<std::size_t>(data_bytes));
    if (!data) return {missing(file), 0};
    int data1 = data[0];
    int data2 = data_bytes == 2 ? data[1] : 0;
    return {record(events, time, status & 0x0F, status & 0xF0, data1, data2), static_cast<std::uint64_t>(data_bytes)};
}

// Skips a length-prefixed payload whose length starts at `pos`; `length`
// becomes the bytes from `pos` to the end of the payload.
ReadStatus skip_payload(SourceReader& file, std::uint64_t pos, VarLen& size, std::uint64_t& length) {
    if (!read_var_len(file, pos, size)) return missing(file);
    if (pos + size.size + size.value > file.length) return ReadStatus::track_truncated;
    length = size.size + size.value;
    return ReadStatus::ok;
}

DispatchResult meta_event(SourceReader& file, std::uint64_t pos, EventList& events, std::uint32_t time) {
    const std::uint8_t* type_byte = file_bytes(file, pos + 1, 1);
    if (!type_byte) return {missing(file), 0};
    std::uint8_t type = *type_byte;
    VarLen size;
    std::uint64_t payload = 0;
    ReadStatus status = skip_payload(file, pos + 2, size, payload);
    if (status != ReadStatus::ok) return {status, 0};
    if (type == kSetTempo) {
        // The tempo is the three bytes after the length, whatever the length says.
        const std::uint8_t* tempo = file_bytes(file, pos + 2 + size.size, 3);
        if (!tempo) return {missing(file), 0};
        std::uint32_t microseconds = be16(tempo) << 8 | tempo[2];
        std::uint32_t bpm = tempo_to_bpm(microseconds);
        status = record(events, time, 1, kTempo, bpm & 0xFF, (bpm >> 8) & 0xFF);
    }
    return {status, 2 + payload};
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

DispatchResult dispatch_event(SourceReader& file, std::uint8_t status, std::uint64_t pos, ReaderState& reader,
                              EventList& events, std::uint32_t track_time) {
    if (status == kMeta) return meta_event(file, pos, events, track_time);
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
        if (reader.running_status == 0) return {ReadStatus::running_status_illegal, 0};
        return channel_message(file, reader.running_status, pos, events, track_time);
    }
    reader.running_status = status;
    DispatchResult result = channel_message(file, status, pos + 1, events, track_time);
    result.length += 1;
    return result;
}

namespace {

// Walks the events of the track chunk at `chunk`; `next` becomes the
// position right after the last event decoded.
ReadStatus read_track(SourceReader& file, std::uint64_t chunk, std::uint64_t& next, ReaderState& reader,
                      EventList& events) {
    std::uint8_t head[kChunkHeadSize];
    if (!copy_head(file, chunk, head, kChunkHeadSize)) return ReadStatus::unreadable;
    if (!tag_at(ByteView{head, kChunkHeadSize}, 0, "MTrk")) return ReadStatus::track_illegal;
    if (chunk + kChunkHeadSize > file.length) return ReadStatus::track_truncated;
    auto chunk_length = static_cast<std::int32_t>(be32(head + 4));
    std::uint64_t pos = chunk + kChunkHeadSize;
    std::uint32_t consumed = 0;
    std::uint32_t track_time = 0;
    // Compared as signed 32-bit numbers: a length of 2^31 or more reads no
    // events. Every event lies inside the file, so `consumed` cannot wrap.
    while (static_cast<std::int32_t>(consumed) < chunk_length) {
        VarLen delta;
        if (!read_var_len(file, pos, delta)) return missing(file);
        track_time += delta.value;
        std::uint64_t status_pos = pos + delta.size;
        const std::uint8_t* status = file_bytes(file, status_pos, 1);
        if (!status) return missing(file);
        DispatchResult event = dispatch_event(file, *status, status_pos, reader, events, track_time);
        if (event.status != ReadStatus::ok) return event.status;
        pos = status_pos + event.length;
        consumed += static_cast<std::uint32_t>(delta.size + event.length);
    }
    next = pos;
    return ReadStatus::ok;
}

ReadStatus read_tracks(SourceReader& file, TextSink& out, ReaderState& reader, EventList& events) {
    std::uint8_t header[kHeaderSize];
    if (!copy_head(file, 0, header, kHeaderSize)) return ReadStatus::unreadable;
    if (!tag_at(ByteView{header, kHeaderSize}, 0, "MThd")) return ReadStatus::header_illegal;
    if (be32(header + 4) != 6) return ReadStatus::header_length_illegal;
    if (file.length < kHeaderSize) return ReadStatus::header_truncated;

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

    std::uint64_t chunk = kHeaderSize;
    for (std::uint32_t track = 0; track < tracks; ++track) {
        ReadStatus status = read_track(file, chunk, chunk, reader, events);
        if (status != ReadStatus::ok) return status;
    }
    return ReadStatus::ok;
}

}  // namespace

ReadStatus read_smf(SourceReader& file, TextSink& out, TextSink& errors, ReaderState& reader, EventList& events) {
    ReadStatus status = read_tracks(file, out, reader, events);
    if (status != ReadStatus::ok && status != ReadStatus::unreadable) sink_write(errors, reader_message(status));
    return status;
}
