// Assembles the converters' output with the GNU assembler for ARM and reads
// the object back: the label must be a global symbol in .rodata and the
// section's bytes exactly the records or the sample object.
#include <gtest/gtest.h>

#include <vector>

#include "notebake_support.h"
#include "pcmar.h"
#include "resampler.h"

namespace {

using test::quote;
using test::run;

#define REQUIRE_ARM_BINUTILS()                                                                   \
    if (!test::have_tool("arm-none-eabi-as") || !test::have_tool("arm-none-eabi-objcopy") || \
        !test::have_tool("arm-none-eabi-nm"))                                                \
    GTEST_SKIP() << "arm-none-eabi binutils not installed (Debian: binutils-arm-none-eabi)"

// Assembles `source` (a .s file in `dir`) and returns the bytes of .rodata;
// `symbols` receives nm's listing. The label must be a global symbol of
// the .rodata section.
std::string assemble(const std::filesystem::path& dir, const std::string& source, std::string& symbols) {
    auto as = run(dir, "arm-none-eabi-as -o out.o " + quote(source));
    EXPECT_EQ(as.status, 0) << as.err;
    symbols = run(dir, "arm-none-eabi-nm out.o").out;
    std::string label = source.substr(0, source.size() - 2);
    std::string table = run(dir, "arm-none-eabi-objdump -t out.o").out;
    std::size_t at = table.find("\t00000000 " + label + "\n");
    EXPECT_NE(at, std::string::npos) << table;
    if (at != std::string::npos) {
        std::size_t start = table.rfind('\n', at) + 1;
        std::string line = table.substr(start, at - start);
        EXPECT_EQ(line.substr(9, 1), "g") << line;  // global binding
        EXPECT_NE(line.find(" .rodata"), std::string::npos) << line;
    }
    auto copy = run(dir, "arm-none-eabi-objcopy -O binary -j .rodata out.o rodata.bin");
    EXPECT_EQ(copy.status, 0) << copy.err;
    return test::read_file(dir / "rodata.bin");
}

// The bytes that the "\t.byte\t0x.., 0x.., 0x.., 0x.." lines of a sequence list.
std::string listed_bytes(const std::string& text) {
    std::string bytes;
    std::size_t at = 0;
    while ((at = text.find("\t.byte\t", at)) != std::string::npos) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(std::stoi(text.substr(at + 9 + 6 * i, 2), nullptr, 16)));
        at += 7;
    }
    return bytes;
}

TEST(Assembler, SequenceAssemblesToItsRecords) {
    REQUIRE_ARM_BINUTILS();
    test::TempDir dir;
    test::write_file(dir.path / "worked.mid",
                     test::smf(96, {test::track(test::bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x90, 0x3C,
                                                             0x64, 0x60, 0x80, 0x3C, 0x40}))}, 0));
    ASSERT_EQ(run(dir.path, quote(NOTEBAKE_BINARY) + " worked.mid").status, 0);
    std::string symbols;
    std::string rodata = assemble(dir.path, "worked.s", symbols);
    EXPECT_EQ(symbols, "00000000 R worked\n");
    EXPECT_EQ(rodata, test::bytes({0xF1, 0x01, 0x78, 0x00, 0x90, 0x00, 0x3C, 0x64, 0xFF, 0x00, 0x1E, 0x00, 0x80, 0x00,
                                   0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Assembler, RealSequenceAssemblesToEveryRecordInOrder) {
    REQUIRE_ARM_BINUTILS();
    test::TempDir dir;
    std::filesystem::copy_file(std::filesystem::path(EXAMPLES_DIR) / "theme.mid", dir.path / "theme.mid");
    ASSERT_EQ(run(dir.path, quote(NOTEBAKE_BINARY) + " theme.mid").status, 0);
    std::string text = test::read_file(dir.path / "theme.s");
    std::string symbols;
    std::string rodata = assemble(dir.path, "theme.s", symbols);
    EXPECT_EQ(symbols, "00000000 R theme\n");
    ASSERT_EQ(rodata.size() % 4, 0u);
    EXPECT_EQ(rodata, listed_bytes(text));
    EXPECT_EQ(rodata.substr(rodata.size() - 4), std::string(4, '\xFF'));
}

TEST(Assembler, SampleObjectIsAHeaderFollowedByTheSamples) {
    REQUIRE_ARM_BINUTILS();
    const std::pair<const char*, const char*> runs[] = {{"", "chime"}, {"-f3 -l1000 ", "chime"}, {"-f0 ", "chime"}};
    for (auto [options, label] : runs) {
        test::TempDir dir;
        std::filesystem::copy_file(std::filesystem::path(EXAMPLES_DIR) / "chime.wav", dir.path / "chime.wav");
        ASSERT_EQ(run(dir.path, quote(PCMAR_BINARY) + " " + options + "chime.wav").status, 0) << options;

        // What the object must hold, from the in-process conversion.
        ConversionSettings settings;
        std::string opts = options;
        std::vector<std::string> words;
        for (std::size_t at = 0; (at = opts.find('-', at)) != std::string::npos; ++at)
            words.push_back(opts.substr(at, opts.find(' ', at) - at));
        std::vector<const char*> args;
        for (const std::string& w : words) args.push_back(w.c_str());
        parse_options(args, settings);
        SourceReader reader;
        ASSERT_EQ(open_reader((dir.path / "chime.wav").string(), reader), LoadStatus::ok);
        TextSink report = memory_sink(), errors = memory_sink();
        WaveInfo info;
        ASSERT_EQ(parse_wave(reader, info, settings, report, errors), WaveStatus::ok);
        std::uint32_t count = settings.output_count;
        std::string samples(count, '\0');
        ASSERT_TRUE(resample_to_s8(reader, info, settings.output_rate, count, reinterpret_cast<std::int8_t*>(samples.data())));
        close_reader(reader);
        std::uint32_t loop = output_loop_point(settings.loop_point, settings.output_rate, info.input_rate);
        std::string expected = test::le32(count) + test::le32(loop) +
                               test::le32(static_cast<std::uint32_t>(settings.rate_index)) + test::le32(0) + samples;

        std::string symbols;
        std::string rodata = assemble(dir.path, "chime.s", symbols);
        EXPECT_EQ(symbols, std::string("00000000 R ") + label + "\n") << options;
        EXPECT_EQ(rodata.size(), 16u + count) << options;
        EXPECT_EQ(rodata, expected) << options;
    }
}

}  // namespace
