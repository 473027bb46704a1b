#include "smf_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "notebake_support.h"

namespace {

using test::bytes;
using test::Bytes;
using test::convert_midi;
using test::smf;
using test::track;

const std::string kEnd = "\t.byte\t0xff, 0xff, 0xff, 0xff\n";

// The records a successful conversion writes after the header lines.
std::string records_of(const test::Conversion& c) {
    EXPECT_EQ(c.status, 0) << c.errors;
    std::size_t header_end = c.out.find("CPQN");
    return c.out.substr(c.out.find('\n', header_end) + 1);
}

std::string rec(int kind, int channel, int data1, int data2) {
    char line[64];
    std::snprintf(line, sizeof line, "\t.byte\t0x%02x, 0x%02x, 0x%02x, 0x%02x\n", kind, channel, data1, data2);
    return line;
}

TEST(ReadVarLen, DecodesAnyLengthAndKeepsTheLow32Bits) {
    struct Case {
        Bytes input;
        std::uint32_t value;
        std::uint64_t size;
    };
    const Case cases[] = {
        {bytes({0x00}), 0, 1},
        {bytes({0x7F}), 0x7F, 1},
        {bytes({0x81, 0x00}), 0x80, 2},
        {bytes({0xFF, 0xFF, 0xFF, 0x7F}), 0x0FFFFFFF, 4},
        {bytes({0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), 0xFFFFFFFF, 5},
        // Bits shifted out at the top are lost.
        {bytes({0x81, 0x80, 0x80, 0x80, 0x80, 0x01}), 1, 6},
    };
    for (const Case& c : cases) {
        SourceBuffer source;
        make_source(c.input + "\x99", source);
        VarLen v;
        SourceReader reader = memory_reader(view_of(source));
        ASSERT_TRUE(read_var_len(reader, 0, v));
        EXPECT_EQ(v.value, c.value);
        EXPECT_EQ(v.size, c.size);
    }
    SourceBuffer open_ended;
    make_source(bytes({0x80, 0x80}), open_ended);
    VarLen v;
    SourceReader reader = memory_reader(view_of(open_ended));
    EXPECT_FALSE(read_var_len(reader, 0, v));
}

TEST(ReadSmf, WritesHeaderLinesAndClearsTheDivisionTopBit) {
    auto c = convert_midi(smf(0x8060, {track("")}, 7));
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, test::header_lines(7, 1, 0x60) + kEnd);
}

TEST(ReadSmf, RunningStatusContinuesWithinAndAcrossTracksAndPastMetaEvents) {
    auto c = convert_midi(smf(96, {
        // 90 3C 64, then 3E 64 under running status.
        track(bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64})),
        // The next track starts with a data byte: still note on, channel 0.
        track(bytes({0x00, 0x40, 0x64})),
        // A meta and a sysex event between do not end the running status.
        track(bytes({0x00, 0xC5, 0x10, 0x00, 0xFF, 0x01, 0x00, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x11})),
    }));
    EXPECT_EQ(records_of(c), rec(0x90, 0, 0x3C, 0x64) + rec(0x90, 0, 0x3E, 0x64) + rec(0x90, 0, 0x40, 0x64) +
                                 rec(0xC0, 5, 0x10, 0) + rec(0xC0, 5, 0x11, 0) + kEnd);
}

TEST(ReadSmf, DataBytesWithTheTopBitSetAreTakenAsData) {
    auto c = convert_midi(smf(96, {track(bytes({0x00, 0xB1, 0x0A, 0x90}))}));
    EXPECT_EQ(records_of(c), rec(0xB0, 1, 0x0A, 0x90) + kEnd);
}

TEST(ReadSmf, SkipsLongMetaAndSysexAndReadsOnAfterEndOfTrack) {
    Bytes long_text(200, 'x');
    auto c = convert_midi(smf(96, {track(bytes({0x00, 0xFF, 0x01, 0x81, 0x48}) + long_text +
                                         bytes({0x00, 0xF0, 0x81, 0x00}) + Bytes(128, '\x01') +
                                         bytes({0x00, 0xFF, 0x2F, 0x00, 0x00, 0xC0, 0x07}))}));
    EXPECT_EQ(records_of(c), rec(0xC0, 0, 7, 0) + kEnd);
}

TEST(ReadSmf, NextChunkFollowsTheEventsOfAnEmptyOrHugeChunk) {
    // Length 0 and length 2^31 read no events; the next chunk is expected
    // right after the 8-byte head.
    Bytes empty = "MTrk" + test::be32(0);
    Bytes huge = "MTrk" + test::be32(0x80000000u);
    auto c = convert_midi(smf(96, {empty, huge, track(bytes({0x00, 0xC2, 0x01}))}));
    EXPECT_EQ(records_of(c), rec(0xC2 & 0xF0, 2, 1, 0) + kEnd);
}

TEST(ReadSmf, ConvertsSetTempoToBeatsPerMinute) {
    struct Case {
        std::uint32_t microseconds;
        int bpm;
    };
    const Case cases[] = {{500000, 120}, {600000, 100}, {1, 60000000}, {16777215, 3}, {0, 0}, {1831, 32768}};
    for (const Case& c : cases) {
        Bytes tempo = bytes({0x00, 0xFF, 0x51, 0x03}) + test::be32(c.microseconds).substr(1);
        auto result = convert_midi(smf(96, {track(tempo)}));
        EXPECT_EQ(records_of(result), rec(0xF1, 1, c.bpm & 0xFF, (c.bpm >> 8) & 0xFF) + kEnd) << c.microseconds;
    }
}

TEST(ReadSmf, TempoBytesFollowTheLengthWhateverItSays) {
    // Length 0, yet the three bytes after it are the tempo (0x00C005 gives
    // 1220 bpm); reading then goes on right after the length, where the
    // same bytes are a delta time and a program change.
    auto c = convert_midi(smf(96, {track(bytes({0x00, 0xFF, 0x51, 0x00, 0x00, 0xC0, 0x05}))}));
    EXPECT_EQ(records_of(c), rec(0xF1, 1, 0xC4, 0x04) + rec(0xC0, 0, 5, 0) + kEnd);
}

struct FailureCase {
    const char* name;
    Bytes file;
    const char* message;
    bool header_written;
};

TEST(ReadSmf, ReportsEveryMalformedOrTruncatedFile) {
    const Bytes header = test::smf_header(0, 1, 96);
    const Bytes head = "MTrk" + test::be32(100);
    const FailureCase cases[] = {
        {"not MThd", "MThx" + header.substr(4), "\nHeaderChunk Illegal, abort...\n", false},
        {"shorter than the tag", "MTh", "\nHeaderChunk Illegal, abort...\n", false},
        {"header length 7", "MThd" + test::be32(7) + header.substr(8), "\nHeaderChunk Length Illegal, abort...\n", false},
        {"ends inside the length", "MThd" + bytes({0, 0, 0}), "\nHeaderChunk Length Illegal, abort...\n", false},
        {"ends inside the header", header.substr(0, 12), "\nHeaderChunk Truncated, abort...\n", false},
        {"not MTrk", header + "MTrx" + test::be32(0), "\nTrackChunk Illegal, abort...\n", true},
        {"more tracks announced than present", test::smf_header(0, 2, 96) + track(""), "\nTrackChunk Illegal, abort...\n", true},
        {"chunk head cut", header + "MTrk" + bytes({0, 0}), "\nTrackChunk Truncated, abort...\n", true},
        {"delta time cut", header + head + bytes({0x81}), "\nTrackChunk Truncated, abort...\n", true},
        {"status byte missing", header + head + bytes({0x00}), "\nTrackChunk Truncated, abort...\n", true},
        {"data byte missing", header + head + bytes({0x00, 0x90, 0x3C}), "\nTrackChunk Truncated, abort...\n", true},
        {"meta type missing", header + head + bytes({0x00, 0xFF}), "\nTrackChunk Truncated, abort...\n", true},
        {"meta length cut", header + head + bytes({0x00, 0xFF, 0x01, 0x81}), "\nTrackChunk Truncated, abort...\n", true},
        {"meta payload past the end", header + head + bytes({0x00, 0xFF, 0x01, 0x05, 'a'}), "\nTrackChunk Truncated, abort...\n", true},
        {"meta length of 4 GiB", header + head + bytes({0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), "\nTrackChunk Truncated, abort...\n", true},
        {"tempo bytes past the end", header + head + bytes({0x00, 0xFF, 0x51, 0x00, 0x07}), "\nTrackChunk Truncated, abort...\n", true},
        {"sysex payload past the end", header + head + bytes({0x00, 0xF0, 0x10, 0x01}), "\nTrackChunk Truncated, abort...\n", true},
        {"data byte before any status", header + head + bytes({0x00, 0x3C, 0x64}), "\nRunning Status Illegal, abort...\n", true},
        {"meta does not set a running status", header + head + bytes({0x00, 0xFF, 0x01, 0x00, 0x00, 0x3C, 0x64}), "\nRunning Status Illegal, abort...\n", true},
    };
    for (const FailureCase& c : cases) {
        auto result = convert_midi(c.file);
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.errors, c.message) << c.name;
        EXPECT_EQ(result.report, "") << c.name;
        EXPECT_EQ(result.out, c.header_written ? test::header_lines(0, c.file.substr(10, 2) == test::be16(2) ? 2 : 1, 96) : "")
            << c.name;
    }
}

TEST(ReadSmf, RunningStatusDoesNotCarryOverFromAnEarlierFile) {
    SequenceState state;
    SourceBuffer first, second;
    make_source(smf(96, {track(bytes({0x00, 0x90, 0x3C, 0x64}))}), first);
    make_source(smf(96, {track(bytes({0x00, 0x3C, 0x64}))}), second);
    TextSink out = memory_sink(), report = memory_sink(), errors = memory_sink();
    SourceReader first_reader = memory_reader(view_of(first));
    SourceReader second_reader = memory_reader(view_of(second));
    EXPECT_EQ(convert_sequence(first_reader, state, out, report, errors), 0);
    EXPECT_EQ(convert_sequence(second_reader, state, out, report, errors), 1);
    EXPECT_EQ(sink_text(errors), "\nRunning Status Illegal, abort...\n");
}

}  // namespace

namespace {

// Every MIDI file the tests hold, read from disk through windows of a few
// bytes, must convert exactly as when it is read from memory.
TEST(ReadSmf, ReadingThroughAnySizeOfWindowGivesTheSameOutput) {
    std::vector<std::filesystem::path> files;
    for (const char* dir : {EXAMPLES_DIR, FIXTURES_DIR, REGRESS_DIR})
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".mid") files.push_back(entry.path());
    ASSERT_GT(files.size(), 10u);
    for (const auto& path : files) {
        SourceBuffer whole;
        ASSERT_EQ(load_source(path.string(), whole), LoadStatus::ok);
        SourceReader in_memory = memory_reader(view_of(whole));
        SequenceState state;
        TextSink out = memory_sink(), report = memory_sink(), errors = memory_sink();
        int status = convert_sequence(in_memory, state, out, report, errors);
        for (std::size_t window : {1, 3, 16, 1000}) {
            SourceReader streamed;
            ASSERT_EQ(open_reader(path.string(), streamed, window), LoadStatus::ok);
            TextSink out2 = memory_sink(), report2 = memory_sink(), errors2 = memory_sink();
            EXPECT_EQ(convert_sequence(streamed, state, out2, report2, errors2), status) << path;
            EXPECT_EQ(sink_text(out2), sink_text(out)) << path << ", window " << window;
            EXPECT_EQ(sink_text(report2), sink_text(report)) << path;
            EXPECT_EQ(sink_text(errors2), sink_text(errors)) << path;
            close_reader(streamed);
        }
    }
}

}  // namespace
