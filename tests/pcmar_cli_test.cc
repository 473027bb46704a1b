// Runs the built pcmar binary as a user would.
#include <gtest/gtest.h>

#include "pcmar.h"
#include "test_support.h"

namespace {

using test::Bytes;
using test::quote;
using test::run;
using test::wav;

const std::string kPcmar = quote(PCMAR_BINARY);

// An 8-bit mono file whose sample i is (i + 128) & 0xFF, i.e. output i.
Bytes ramp(std::uint32_t rate, int frames) {
    Bytes data;
    for (int i = 0; i < frames; ++i) data.push_back(static_cast<char>(i + 128));
    return wav(rate, 8, 1, data);
}

std::string header(const std::string& label, std::uint32_t count, const char* loop, int index) {
    return "\t.section\t.rodata\n\t.align\t4\n\t.global\t" + label + "\n\t.type\t" + label + ", object\n\n" + label +
           ":\n.long " + std::to_string(count) + "\n.long " + loop + "\n.word " + std::to_string(index) + "\n.word 0\n";
}

TEST(PcmarCli, WithoutAFilePrintsTheUsage) {
    test::TempDir dir;
    for (const char* args : {"", " -f2 -l5", " -"}) {
        auto r = run(dir.path, kPcmar + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, kUsage) << args;
        EXPECT_EQ(r.err.size(), 222u);
        EXPECT_EQ(r.out, "");
    }
}

TEST(PcmarCli, WritesTheSampleObjectSixteenToALine) {
    test::TempDir dir;
    test::write_file(dir.path / "ramp.wav", ramp(22050, 18));
    auto r = run(dir.path, kPcmar + " ramp.wav ignored.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "in :22050Hz, 18bytes 8bits 1ch\nout:22050Hz, 18bytes 8bits 1ch\n");
    EXPECT_EQ(test::read_file(dir.path / "ramp.s"),
              header("ramp", 18, "0xffffffff", 2) +
                  ".byte 0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e,0x0f\n"
                  ".byte 0x10,0x11\n"
                  "\t.ident \"pcmar\"\n");
}

TEST(PcmarCli, LineBreaksFollowTheCount) {
    test::TempDir dir;
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {16, 1}, {17, 2}, {32, 2}};
    for (auto [count, lines] : cases) {
        test::write_file(dir.path / "n.wav", ramp(22050, count));
        auto r = run(dir.path, kPcmar + " n.wav");
        ASSERT_EQ(r.status, 0) << r.err;
        std::string text = test::read_file(dir.path / "n.s");
        std::size_t found = 0;
        for (std::size_t at = 0; (at = text.find(".byte ", at)) != std::string::npos; ++at) ++found;
        EXPECT_EQ(found, static_cast<std::size_t>(lines)) << count;
        EXPECT_EQ(text.substr(text.size() - 16), "\t.ident \"pcmar\"\n");
        if (count == 16) {
            EXPECT_NE(text.find("0x0f\n\t.ident"), std::string::npos);
        }
    }
}

struct OptionCase {
    const char* options;
    std::uint32_t rate;
    const char* out_line;
    const char* loop;
};

TEST(PcmarCli, ReadsTheOptionsLikeTheCLibrary) {
    const OptionCase cases[] = {
        {"-f4", 44100, "out:32000Hz, 3200bytes", "0xffffffff"},
        {"-f-1", 44100, "out:32000Hz, 3200bytes", "0xffffffff"},
        {"-fx", 44100, "out:11025Hz, 1102bytes", "0xffffffff"},
        {"-f2 -f9", 44100, "out:22050Hz, 2205bytes", "0xffffffff"},
        {"-f1 -f", 44100, "out:16000Hz, 1600bytes", "0xffffffff"},
        {"-f' 2junk'", 44100, "out:22050Hz, 2205bytes", "0xffffffff"},
        {"-l1000", 44100, "out:32000Hz, 3200bytes", "0x2d5"},
        {"-f2 -l1000", 44100, "out:22050Hz, 2205bytes", "0x1f4"},
        {"-l1000 -l", 44100, "out:32000Hz, 3200bytes", "0x2d5"},
        {"-l1000 -l-1", 44100, "out:32000Hz, 3200bytes", "0xffffffff"},
        {"-l-2 -f0", 11025, "out:11025Hz, 1102bytes", "0xfffffffe"},
        {"-lx", 44100, "out:32000Hz, 3200bytes", "0x0"},
        {"- -q -l7", 22050, "out:22050Hz, 2205bytes", "0x7"},
    };
    test::TempDir dir;
    for (const OptionCase& c : cases) {
        int frames = static_cast<int>(c.rate / 10);
        test::write_file(dir.path / "in.wav", wav(c.rate, 8, 1, Bytes(frames, '\x80')));
        auto r = run(dir.path, kPcmar + " " + c.options + " in.wav");
        ASSERT_EQ(r.status, 0) << c.options << r.err;
        EXPECT_NE(r.out.find(c.out_line), std::string::npos) << c.options << "\n" << r.out;
        EXPECT_NE(test::read_file(dir.path / "in.s").find(std::string(".long ") + c.loop + "\n"), std::string::npos)
            << c.options;
    }
}

TEST(PcmarCli, ReadsOptionTextOfAnyLength) {
    test::TempDir dir;
    test::write_file(dir.path / "in.wav", wav(22050, 8, 1, Bytes(100, '\x80')));
    auto r = run(dir.path, kPcmar + " -l" + std::string(300, '0') + "9 " + quote("-f" + std::string(200, ' ') + "1") + " in.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = test::read_file(dir.path / "in.s");
    EXPECT_NE(text.find(".long 0x6\n"), std::string::npos);  // 9 x 16000 / 22050
    EXPECT_NE(text.find(".word 1\n"), std::string::npos);
}

TEST(PcmarCli, AnInputThatIsItsOwnOutputIsConvertedWhole) {
    // Larger than the reader's window, so that it is read after the output
    // has been created.
    test::TempDir dir;
    Bytes file = ramp(32000, 3 << 19);
    test::write_file(dir.path / "tone.wav", file);
    test::write_file(dir.path / "tone.s", file);
    ASSERT_EQ(run(dir.path, kPcmar + " -f0 tone.wav").status, 0);
    std::string expected = test::read_file(dir.path / "tone.s");
    test::write_file(dir.path / "tone.s", file);
    auto r = run(dir.path, kPcmar + " -f0 tone.s");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::read_file(dir.path / "tone.s"), expected);
}

TEST(PcmarCli, ReplacesAnEarlierOutputOfAnyLength) {
    test::TempDir dir;
    test::write_file(dir.path / "ramp.wav", ramp(22050, 100));
    ASSERT_EQ(run(dir.path, kPcmar + " ramp.wav").status, 0);
    const std::string fresh = test::read_file(dir.path / "ramp.s");
    for (const std::string& old : {std::string("x"), std::string(fresh.size() * 3, 'z')}) {
        test::write_file(dir.path / "ramp.s", old);
        ASSERT_EQ(run(dir.path, kPcmar + " ramp.wav").status, 0);
        EXPECT_EQ(test::read_file(dir.path / "ramp.s"), fresh) << old.size();
    }
}

TEST(PcmarCli, ReportsFilesItCannotUse) {
    test::TempDir dir;
    auto missing = run(dir.path, kPcmar + " nothing.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error: Can't open file nothing.wav");

    test::write_file(dir.path / "empty.wav", "");
    auto empty = run(dir.path, kPcmar + " empty.wav");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "Error: Can't find RIFF groupID.");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "empty.s"));

    test::write_file(dir.path / "fast.wav", ramp(200000, 4));
    auto fast = run(dir.path, kPcmar + " fast.wav");
    EXPECT_EQ(fast.status, 1);
    EXPECT_EQ(fast.err, "Error: Unsupported sampling rate 200000Hz.\n");
    EXPECT_EQ(fast.out, "");
}

TEST(PcmarCli, ReportsOutputsItCannotWrite) {
    test::TempDir dir;
    test::write_file(dir.path / "a.wav", ramp(22050, 4));
    std::filesystem::create_directories(dir.path / "a.s");
    auto blocked = run(dir.path, kPcmar + " a.wav");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "Error: Can't create file a.s\n");

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    test::write_file(dir.path / "b.wav", ramp(22050, 4));
    std::filesystem::create_symlink("/dev/full", dir.path / "b.s");
    auto full = run(dir.path, kPcmar + " b.wav");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "Error: Can't write file b.s\n");
}

}  // namespace
