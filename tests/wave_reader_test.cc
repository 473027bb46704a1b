#include "wave_reader.h"

#include <gtest/gtest.h>

#include "pcmar.h"
#include "test_support.h"

namespace {

using test::Bytes;
using test::le16;
using test::le32;
using test::wav;

struct Parsed {
    WaveStatus status;
    WaveInfo info;
    ConversionSettings settings;
    std::string report, errors;
};

Parsed parse(const Bytes& file, int forced_index = -1) {
    SourceBuffer source;
    make_source(file, source);
    Parsed p{};
    if (forced_index >= 0) {
        p.settings.rate_index = forced_index;
        p.settings.output_rate = kRateTable[forced_index];
    }
    TextSink report = memory_sink(), errors = memory_sink();
    SourceReader reader = memory_reader(view_of(source));
    p.status = parse_wave(reader, p.info, p.settings, report, errors);
    p.report = std::string(sink_text(report));
    p.errors = std::string(sink_text(errors));
    return p;
}

TEST(ChooseRate, TakesTheNearestTableRateAndTheLowerIndexOnATie) {
    const std::pair<std::uint32_t, int> cases[] = {
        {44100, 3}, {22050, 2}, {8000, 0}, {0, 0}, {19025, 1}, {13512, 0}, {13513, 1},
        {27025, 2}, {27026, 3}, {127999, 3},
    };
    for (auto [rate, index] : cases) {
        ConversionSettings settings;
        EXPECT_TRUE(choose_rate(rate, settings)) << rate;
        EXPECT_EQ(settings.rate_index, index) << rate;
        EXPECT_EQ(settings.output_rate, kRateTable[index]) << rate;
    }
    ConversionSettings settings;
    EXPECT_FALSE(choose_rate(128000, settings));
    EXPECT_EQ(settings.rate_index, -1);
}

TEST(ParseWave, ReadsTheFormatAndPrintsBothLines) {
    Parsed p = parse(wav(44100, 16, 2, Bytes(176400, '\0')));
    ASSERT_EQ(p.status, WaveStatus::ok) << p.errors;
    EXPECT_EQ(p.settings.output_count, 32000u);
    EXPECT_EQ(p.settings.rate_index, 3);
    EXPECT_EQ(p.info.samples, 44u);
    EXPECT_EQ(p.report, "in :44100Hz, 176400bytes 16bits 2ch\nout:32000Hz, 32000bytes 8bits 1ch\n");
    EXPECT_EQ(p.errors, "");
}

TEST(ParseWave, ForcedRateHoldsWhateverTheInputRate) {
    Parsed p = parse(wav(8000, 8, 1, Bytes(800, '\x80')), 3);
    ASSERT_EQ(p.status, WaveStatus::ok);
    EXPECT_EQ(p.settings.output_count, 3200u);
    EXPECT_EQ(p.report, "in :8000Hz, 800bytes 8bits 1ch\nout:32000Hz, 3200bytes 8bits 1ch\n");
}

TEST(ParseWave, CountsOutputSamplesAsTheExactTruncatedQuotient) {
    struct Case {
        std::uint32_t rate;
        int bits, channels;
        std::size_t data;
        std::uint32_t count;
    };
    const Case cases[] = {
        {22050, 16, 1, 3, 1},        // 1.5 frames give 1 sample
        {44100, 16, 2, 0, 0},        // no data
        {44100, 4, 1, 100, 0},       // bits below 8
        {44100, 8, 0, 100, 0},       // no channels
        {0, 8, 1, 100, 0},           // input rate 0 (chooses 11025)
        {11025, 8, 1, 1, 2},         // 1 frame at 11025 to 22050 forced below
        {48000, 24, 2, 600, 66},     // 100 frames at 48000 to 32000: 66.67
        {96000, 32, 3, 1200, 33},    // 100 frames at 96000 to 32000: 33.3
    };
    for (const Case& c : cases) {
        Parsed p = parse(wav(c.rate, c.bits, c.channels, Bytes(c.data, '\0')), c.rate == 11025 ? 2 : -1);
        ASSERT_EQ(p.status, WaveStatus::ok) << c.rate << " " << c.bits;
        EXPECT_EQ(p.settings.output_count, c.count) << c.rate << " " << c.bits << " " << c.channels;
    }
}

struct FailureCase {
    const char* name;
    Bytes file;
    const char* message;
};

TEST(ParseWave, ReportsEveryFaultWithItsMessage) {
    const Bytes good = wav(22050, 8, 1, "abcd");
    auto with = [&](std::size_t at, const Bytes& replacement) {
        Bytes f = good;
        f.replace(at, replacement.size(), replacement);
        return f;
    };
    const FailureCase cases[] = {
        {"empty", "", "Error: Can't find RIFF groupID."},
        {"no RIFF", with(0, "RIFX"), "Error: Can't find RIFF groupID."},
        {"no WAVE", with(8, "WAVF"), "Error: Can't find WAVE typeID."},
        {"cut inside WAVE", good.substr(0, 10), "Error: Can't find WAVE typeID."},
        {"no fmt", with(12, "fmtx"), "Error: Can't find Format chunkID."},
        {"several faults report the first", with(8, "xxxxxxxx"), "Error: Can't find WAVE typeID."},
        {"not PCM", with(20, le16(3)), "Error: This file is not Microsoft PCM format."},
        {"cut before the format tag", good.substr(0, 20), "Error: This file is not Microsoft PCM format."},
        {"LIST before data",
         good.substr(0, 36) + "LIST" + le32(4) + "INFO" + good.substr(36),
         "Error: Can't find Data chunkID."},
        {"fmt size past the end", with(16, le32(0xFFFFFFF0u)), "Error: Can't find Data chunkID."},
        {"cut inside the format fields", "RIFF" + le32(0) + "WAVEfmt " + le32(2) + le16(1) + "data" + le32(0),
         "Error: Unexpected end of file.\n"},
        {"cut inside the data head", good.substr(0, 42), "Error: Unexpected end of file.\n"},
        {"12 bits", with(34, le16(12)), "Error: Unsupported sample size 12 bits.\n"},
        {"40 bits", with(34, le16(40)), "Error: Unsupported sample size 40 bits.\n"},
        {"192 kHz", with(24, le32(192000)), "Error: Unsupported sampling rate 192000Hz.\n"},
        // With several faults: the checks, the end of file, the sample size,
        // the clamp, then the rate.
        {"12 bits and cut short", with(34, le16(12)).substr(0, 42), "Error: Unexpected end of file.\n"},
        {"12 bits at 192 kHz", with(34, le16(12)).replace(24, 4, le32(192000)),
         "Error: Unsupported sample size 12 bits.\n"},
        {"cut data at 192 kHz", with(24, le32(192000)).substr(0, 46),
         "Warning: Data chunk truncated to 2 bytes.\nError: Unsupported sampling rate 192000Hz.\n"},
    };
    for (const FailureCase& c : cases) {
        Parsed p = parse(c.file);
        EXPECT_NE(p.status, WaveStatus::ok) << c.name;
        EXPECT_EQ(p.errors, c.message) << c.name;
        EXPECT_EQ(p.report, "") << c.name;
    }
}

TEST(ParseWave, AcceptsAnExtendedFormatChunk) {
    Bytes file = wav(22050, 8, 1, "abcd");
    file.replace(16, 4, le32(18));
    file.insert(36, le16(0));
    Parsed p = parse(file);
    ASSERT_EQ(p.status, WaveStatus::ok) << p.errors;
    EXPECT_EQ(p.info.samples, 46u);
    EXPECT_EQ(p.info.data_size, 4u);
}

TEST(ParseWave, ClampsDataThatRunsPastTheEnd) {
    Bytes file = wav(22050, 8, 1, "abcdef");
    file.replace(40, 4, le32(1000));
    Parsed p = parse(file);
    ASSERT_EQ(p.status, WaveStatus::ok);
    EXPECT_EQ(p.errors, "Warning: Data chunk truncated to 6 bytes.\n");
    EXPECT_EQ(p.report, "in :22050Hz, 6bytes 8bits 1ch\nout:22050Hz, 6bytes 8bits 1ch\n");
}

TEST(ParseWave, AForcedRateAcceptsAnyInputRate) {
    Parsed p = parse(wav(3000000000u, 8, 1, "abcd"), 0);
    ASSERT_EQ(p.status, WaveStatus::ok);
    EXPECT_EQ(p.report, "in :-1294967296Hz, 4bytes 8bits 1ch\nout:11025Hz, 0bytes 8bits 1ch\n");
}

}  // namespace
