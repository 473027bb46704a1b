#include "source_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

struct NamingCase {
    const char* path;
    const char* output_path;
    const char* label;
};

TEST(DeriveOutputNames, FollowsTheNamingRule) {
    const NamingCase cases[] = {
        {"music/theme.mid", "music/theme.s", "theme"},
        {"snd\\hit.wav", "snd\\hit.s", "hit"},
        {"beep", "beep.s", "beep"},
        {"a.b.c", "a.b.s", "a.b"},
        // A "/" anywhere wins over "\" as the separator.
        {"x\\y/z.mid", "x\\y/z.s", "z"},
        {"x/y\\z.mid", "x/y\\z.s", "y\\z"},
        // A base name that begins with its only "." has an empty label.
        {".mid", ".s", ""},
        {"dir/.mid", "dir/.s", ""},
        {"01-intro.mid", "01-intro.s", "01-intro"},
        {"/abs/my song.wav", "/abs/my song.s", "my song"},
        // A "." in a directory is no extension of the file.
        {"../song", "../song.s", "song"},
        {"dir.v2/song", "dir.v2/song.s", "song"},
        {"dir.v2\\song", "dir.v2\\song.s", "song"},
    };
    for (const NamingCase& c : cases) {
        OutputNames names = derive_output_names(c.path);
        EXPECT_EQ(names.output_path, c.output_path) << c.path;
        EXPECT_EQ(names.label, c.label) << c.path;
    }
}

TEST(DeriveOutputNames, KeepsLongNamesWhole) {
    std::string base(300, 'n');
    OutputNames names = derive_output_names("d/" + base + ".mid");
    EXPECT_EQ(names.label, base);
    EXPECT_EQ(names.output_path, "d/" + base + ".s");
}

TEST(LoadSource, ReadsTheWholeFileFollowedByZeroSpareBytes) {
    test::TempDir dir;
    test::write_file(dir.path / "three", "abc");
    test::write_file(dir.path / "empty", "");

    SourceBuffer source;
    ASSERT_EQ(load_source((dir.path / "three").string(), source), LoadStatus::ok);
    ASSERT_EQ(source.length, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(source.bytes.get()), 3), "abc");
    for (std::size_t i = 0; i < kSpareBytes; ++i) EXPECT_EQ(source.bytes[3 + i], 0) << i;

    SourceBuffer empty;
    ASSERT_EQ(load_source((dir.path / "empty").string(), empty), LoadStatus::ok);
    EXPECT_EQ(empty.length, 0u);
    ASSERT_NE(empty.bytes, nullptr);
}

TEST(LoadSource, ReportsFilesThatCannotBeRead) {
    test::TempDir dir;
    SourceBuffer source;
    EXPECT_EQ(load_source((dir.path / "missing").string(), source), LoadStatus::cannot_open);
    // A directory opens for reading on Linux but cannot be read.
    EXPECT_EQ(load_source(dir.path.string(), source), LoadStatus::cannot_open);
}

TEST(SourceReader, HandsOutOnlyBytesInsideTheFile) {
    test::TempDir dir;
    test::write_file(dir.path / "five", "abcde");
    SourceBuffer source;
    ASSERT_EQ(make_source("abcde", source), LoadStatus::ok);
    EXPECT_EQ(byte_at(view_of(source), 4), 'e');
    EXPECT_EQ(byte_at(view_of(source), 5), 0);
    EXPECT_EQ(byte_at(view_of(source), UINT64_MAX), 0);

    SourceReader in_memory = memory_reader(view_of(source));
    SourceReader streamed;
    ASSERT_EQ(open_reader((dir.path / "five").string(), streamed, 2), LoadStatus::ok);
    for (SourceReader* reader : {&in_memory, &streamed}) {
        EXPECT_EQ(reader->length, 5u);
        const std::uint8_t* bytes = file_bytes(*reader, 3, 2);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 2), "de");
        EXPECT_EQ(file_bytes(*reader, 4, 2), nullptr);
        EXPECT_EQ(file_bytes(*reader, 5, 1), nullptr);
        EXPECT_EQ(file_bytes(*reader, 1, UINT64_MAX), nullptr);
        // Bytes past the end read as 0 where a reader asks for them.
        std::span<const std::uint8_t> padded = reader_bytes(*reader, 3, 4);
        ASSERT_GE(padded.size(), 4u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(padded.data()), 4), std::string("de\0\0", 4));
        EXPECT_FALSE(reader->failed);
    }
    close_reader(streamed);
}

}  // namespace
