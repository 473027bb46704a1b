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

TEST(ByteView, ReadsZeroAtAndPastTheEnd) {
    SourceBuffer source;
    ASSERT_EQ(make_source("ab", source), LoadStatus::ok);
    ByteView view = view_of(source);
    EXPECT_EQ(byte_at(view, 1), 'b');
    EXPECT_EQ(byte_at(view, 2), 0);
    EXPECT_EQ(byte_at(view, UINT64_MAX), 0);
    EXPECT_TRUE(holds(view, 0, 2));
    EXPECT_FALSE(holds(view, 1, 2));
    EXPECT_FALSE(holds(view, 3, 0));
    EXPECT_FALSE(holds(view, 1, UINT64_MAX));
}

}  // namespace
