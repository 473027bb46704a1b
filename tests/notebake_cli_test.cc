// Runs the built notebake binary as a user would.
#include <gtest/gtest.h>

#include "notebake_support.h"

namespace {

using test::bytes;
using test::quote;
using test::run;
using test::smf;
using test::track;

const std::string kNotebake = quote(NOTEBAKE_BINARY);
const std::string kUsage = "usage : notebake [opt] filename \n";

test::Bytes song(int program) { return smf(96, {track(bytes({0x00, 0xC0, program}))}); }

TEST(NotebakeCli, WithoutFilesPrintsTheUsage) {
    test::TempDir dir;
    for (const char* args : {"", " -", " - -", " -x --help"}) {
        auto r = run(dir.path, kNotebake + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, kUsage) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST(NotebakeCli, WritesTheOutputBesideTheInput) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path / "music");
    test::write_file(dir.path / "music/01 theme.mid", song(5));
    // Options before the first file are ignored.
    auto r = run(dir.path, kNotebake + " -v - " + quote("music/01 theme.mid"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, test::report_lines());
    EXPECT_EQ(test::read_file(dir.path / "music/01 theme.s"),
              "\t.section\t.rodata\n\t.global\t01 theme\n\t.align\t4\n\n01 theme:\n\t@ music/01 theme.mid\n" +
                  test::header_lines(1, 1, 96) + "\t.byte\t0xc0, 0x00, 0x05, 0x00\n\t.byte\t0xff, 0xff, 0xff, 0xff\n");
}

TEST(NotebakeCli, StopsAtTheFirstFileThatFails) {
    test::TempDir dir;
    test::write_file(dir.path / "a.mid", song(1));
    test::write_file(dir.path / "b.mid", song(2));
    test::write_file(dir.path / "b.s", "keep");
    auto r = run(dir.path, kNotebake + " a.mid missing.mid b.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[missing.mid]\nFile open error, abort...\n");
    EXPECT_EQ(r.out, test::report_lines());
    EXPECT_TRUE(std::filesystem::exists(dir.path / "a.s"));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "missing.s"));
    EXPECT_EQ(test::read_file(dir.path / "b.s"), "keep");
}

TEST(NotebakeCli, PrintsOneReportBlockPerFile) {
    test::TempDir dir;
    test::write_file(dir.path / "a.mid", smf(96, {track(bytes({0x00, 0x90, 60, 100}))}));
    test::write_file(dir.path / "b", song(2));
    auto r = run(dir.path, kNotebake + " a.mid b");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, test::report_lines({1}) + test::report_lines());
    EXPECT_TRUE(std::filesystem::exists(dir.path / "b.s"));
}

TEST(NotebakeCli, EmptyInputIsAnOpenError) {
    test::TempDir dir;
    test::write_file(dir.path / "empty.mid", "");
    auto r = run(dir.path, kNotebake + " empty.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[empty.mid]\nFile open error, abort...\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "empty.s"));
}

TEST(NotebakeCli, MalformedFileLeavesThePartialOutput) {
    test::TempDir dir;
    test::write_file(dir.path / "bad.mid", test::smf_header(0, 2, 96) + track(""));
    auto r = run(dir.path, kNotebake + " bad.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nTrackChunk Illegal, abort...\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::read_file(dir.path / "bad.s"),
              "\t.section\t.rodata\n\t.global\tbad\n\t.align\t4\n\nbad:\n\t@ bad.mid\n" + test::header_lines(0, 2, 96));
}

TEST(NotebakeCli, ReplacesAnEarlierOutputOfAnyLength) {
    test::TempDir dir;
    test::write_file(dir.path / "song.mid", song(5));
    ASSERT_EQ(run(dir.path, kNotebake + " song.mid").status, 0);
    const std::string fresh = test::read_file(dir.path / "song.s");
    // Whatever the old file held, the new one is exactly the conversion:
    // nothing of the old text is left after it.
    for (const std::string& old : {std::string(), std::string("x"), std::string(fresh.size() * 3, 'z')}) {
        test::write_file(dir.path / "song.s", old);
        ASSERT_EQ(run(dir.path, kNotebake + " song.mid").status, 0);
        EXPECT_EQ(test::read_file(dir.path / "song.s"), fresh) << old.size();
    }
    // So also after a failure: only what was written before it remains.
    test::write_file(dir.path / "bad.mid", test::smf_header(0, 2, 96) + track(""));
    test::write_file(dir.path / "bad.s", std::string(5000, 'z'));
    EXPECT_EQ(run(dir.path, kNotebake + " bad.mid").status, 1);
    EXPECT_EQ(test::read_file(dir.path / "bad.s"),
              "\t.section\t.rodata\n\t.global\tbad\n\t.align\t4\n\nbad:\n\t@ bad.mid\n" + test::header_lines(0, 2, 96));
}

TEST(NotebakeCli, OutputThatCannotBeCreatedFailsSilently) {
    test::TempDir dir;
    test::write_file(dir.path / "song.mid", song(1));
    std::filesystem::create_directories(dir.path / "song.s");  // a directory where the output goes
    auto r = run(dir.path, kNotebake + " song.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
}

TEST(NotebakeCli, AnInputThatIsItsOwnOutputIsConvertedWhole) {
    // Larger than the reader's window, so that it is read after the output
    // has been created.
    test::Bytes events;
    for (int i = 0; i < 400000; ++i) events += bytes({0x01, 0xC0 | (i & 0x0F), i & 0x7F});
    test::Bytes file = smf(96, {track(events)});
    test::TempDir dir;
    test::write_file(dir.path / "long.mid", file);
    test::write_file(dir.path / "long.s", file);
    ASSERT_EQ(run(dir.path, kNotebake + " long.mid").status, 0);
    std::string expected = test::read_file(dir.path / "long.s");
    test::write_file(dir.path / "long.s", file);
    auto r = run(dir.path, kNotebake + " long.s");
    ASSERT_EQ(r.status, 0) << r.err;
    // Only the comment with the argument as typed differs.
    std::string actual = test::read_file(dir.path / "long.s");
    const std::string typed = "\t@ long.s\n";
    actual.replace(actual.find(typed), typed.size(), "\t@ long.mid\n");
    EXPECT_TRUE(actual == expected) << "outputs differ";
}

TEST(NotebakeCli, FullDiskIsAWriteError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    test::TempDir dir;
    test::write_file(dir.path / "song.mid", song(1));
    std::filesystem::create_symlink("/dev/full", dir.path / "song.s");
    auto r = run(dir.path, kNotebake + " song.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[song.s]\nFile write error, abort...\n");
}

}  // namespace
