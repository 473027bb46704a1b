// Drives one whole notebake conversion (reader, recording rules, sort,
// writer) over the fuzzer's bytes and checks what must always hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "notebake.h"

namespace {

constexpr std::string_view kEndRecord = "\t.byte\t0xff, 0xff, 0xff, 0xff\n";

void require(bool condition) {
    if (!condition) std::abort();
}

bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::size_t count_lines(std::string_view text) {
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

bool known_failure(std::string_view message) {
    for (auto status : {ReadStatus::header_illegal, ReadStatus::header_length_illegal, ReadStatus::header_truncated,
                        ReadStatus::track_illegal, ReadStatus::track_truncated, ReadStatus::running_status_illegal})
        if (message == reader_message(status)) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SourceBuffer source;
    if (make_source(std::string_view(reinterpret_cast<const char*>(data), size), source) != LoadStatus::ok) return 0;
    SourceReader in_memory = memory_reader(view_of(source));
    SequenceState state;
    TextSink out = memory_sink(), report = memory_sink(), errors = memory_sink();
    int status = convert_sequence(in_memory, state, out, report, errors);

    // The same bytes read as a file through a small window must convert to
    // the same text.
    std::string copy(reinterpret_cast<const char*>(data), size);
    if (std::FILE* file = size != 0 ? fmemopen(copy.data(), copy.size(), "rb") : nullptr) {
        SourceReader streamed;
        require(attach_reader(file, streamed, 1 + data[size - 1] % 32) == LoadStatus::ok);
        TextSink out2 = memory_sink(), report2 = memory_sink(), errors2 = memory_sink();
        require(convert_sequence(streamed, state, out2, report2, errors2) == status);
        require(sink_text(out2) == sink_text(out) && sink_text(report2) == sink_text(report) && sink_text(errors2) == sink_text(errors));
        close_reader(streamed);
    }

    // Holding every record and sorting the list gives the same text as
    // merging the runs while they are decoded again.
    {
        SourceReader again = memory_reader(view_of(source));
        EventList list;
        ReaderState reader;
        Polyphony polyphony;
        TextSink out3 = memory_sink(), report3 = memory_sink(), errors3 = memory_sink();
        require(reset(list) == 0);
        int listed = read_smf(again, out3, errors3, reader, list) == ReadStatus::ok ? 0 : 1;
        if (listed == 0) {
            require(sort_events(list) == 0);
            write_sequence(list, reader.division, polyphony, out3, report3);
        }
        require(listed == status);
        require(sink_text(out3) == sink_text(out) && sink_text(report3) == sink_text(report) && sink_text(errors3) == sink_text(errors));
    }

    // The header lines come first whenever the header was whole.
    bool header_written = sink_text(out).rfind("\t@ SMF Format : ", 0) == 0;
    if (status == 0) {
        require(sink_text(errors).empty());
        require(header_written);
        require(ends_with(sink_text(out), kEndRecord));
        // Only the end record is all 0xff; every line is one record.
        require(sink_text(out).find(kEndRecord) == sink_text(out).size() - kEndRecord.size());
        require(count_lines(sink_text(report)) == 16);
        require(sink_text(report).rfind("[channel:01 , max:", 0) == 0);
        require(state.events.records == nullptr);  // released by the writer
    } else {
        require(status == 1);
        require(known_failure(sink_text(errors)));
        require(sink_text(report).empty());
        require(!ends_with(sink_text(out), kEndRecord));
        bool header_failure = sink_text(errors).find("HeaderChunk") != std::string_view::npos;
        require(header_written != header_failure);
        require(!header_written || count_lines(sink_text(out)) == 3);
    }
    return 0;
}
