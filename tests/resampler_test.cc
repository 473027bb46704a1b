#include "resampler.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace {

using test::Bytes;

TEST(ResampleStep, IsTheTruncatedRatioIn16Point16) {
    const std::tuple<std::uint32_t, std::int32_t, std::uint64_t> cases[] = {
        {22050, 22050, 65536}, {44100, 22050, 131072}, {44100, 32000, 90316}, {11025, 22050, 32768},
        {16000, 22050, 47554}, {4000000000u, 11025, 23777233560ull}, {44100, 0, 0},
    };
    for (auto [in, out, step] : cases) EXPECT_EQ(resample_step(in, out), step) << in << " to " << out;
}

// Resamples `frames` mono 8-bit frames whose value is their index + 128, and
// returns the indices of the frames picked.
std::vector<int> frames_picked(std::uint32_t in_rate, std::int32_t out_rate, int frames, std::uint32_t count) {
    Bytes data;
    for (int i = 0; i < frames; ++i) data.push_back(static_cast<char>(i + 128));
    SourceBuffer source;
    make_source(data, source);
    SourceReader reader = memory_reader(view_of(source));
    WaveInfo info{in_rate, 8, 1, static_cast<std::uint32_t>(frames), 0};
    std::vector<std::int8_t> out(count);
    EXPECT_TRUE(resample_to_s8(reader, info, out_rate, count, out.data()));
    return std::vector<int>(out.begin(), out.end());
}

TEST(Resample, HoldsTheFrameAtOrBeforeEachPosition) {
    EXPECT_EQ(frames_picked(22050, 22050, 5, 5), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(frames_picked(44100, 22050, 10, 5), (std::vector<int>{0, 2, 4, 6, 8}));
    EXPECT_EQ(frames_picked(44100, 32000, 11, 8), (std::vector<int>{0, 1, 2, 4, 5, 6, 8, 9}));
    EXPECT_EQ(frames_picked(11025, 22050, 3, 6), (std::vector<int>{0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(frames_picked(16000, 22050, 6, 8), (std::vector<int>{0, 0, 1, 2, 2, 3, 4, 5}));
    EXPECT_EQ(frames_picked(44100, 22050, 10, 0), (std::vector<int>{}));
}

struct ValueCase {
    const char* name;
    int bits, channels;
    Bytes frame;
    int value;
};

TEST(FrameValue, ScalesAndMixesEachLayout) {
    using test::bytes;
    const ValueCase cases[] = {
        {"16-bit -1", 16, 1, test::le16(0xFFFF), 0},
        {"16-bit -256", 16, 1, test::le16(0xFF00), -1},
        {"16-bit -257", 16, 1, test::le16(0xFEFF), -1},
        {"16-bit 32767", 16, 1, test::le16(0x7FFF), 127},
        {"16-bit -32768", 16, 1, test::le16(0x8000), -128},
        {"8-bit 0", 8, 1, bytes({0}), -128},
        {"8-bit 128", 8, 1, bytes({128}), 0},
        {"8-bit 255", 8, 1, bytes({255}), 127},
        {"8-bit stereo 0 and 255", 8, 2, bytes({0, 255}), 0},
        {"8-bit stereo 0 and 0", 8, 2, bytes({0, 0}), -128},
        {"16-bit stereo -1 and 0", 16, 2, test::le16(0xFFFF) + test::le16(0), 0},
        {"16-bit stereo -512 and 511", 16, 2, test::le16(0xFE00) + test::le16(511), 0},
        {"16-bit stereo -512 and -1", 16, 2, test::le16(0xFE00) + test::le16(0xFFFF), -1},
        {"16-bit stereo full scale", 16, 2, test::le16(0x7FFF) + test::le16(0x7FFF), 127},
        {"24-bit -65536", 24, 1, bytes({0x00, 0x00, 0xFF}), -1},
        {"24-bit -65535", 24, 1, bytes({0x01, 0x00, 0xFF}), 0},
        {"24-bit max", 24, 1, bytes({0xFF, 0xFF, 0x7F}), 127},
        {"32-bit min", 32, 1, test::le32(0x80000000u), -128},
        {"32-bit stereo", 32, 2, test::le32(0x01000000u) + test::le32(0x02000000u), 1},
        {"8-bit three channels", 8, 3, bytes({255, 255, 0}), 42},
        {"16-bit four channels", 16, 4, test::le16(0x7FFF) + test::le16(0x7FFF) + test::le16(0) + test::le16(0), 63},
    };
    for (const ValueCase& c : cases) {
        SourceBuffer source;
        make_source(c.frame, source);
        WaveInfo info{22050, static_cast<std::uint16_t>(c.bits), static_cast<std::uint16_t>(c.channels),
                      static_cast<std::uint32_t>(c.frame.size()), 0};
        EXPECT_EQ(frame_value(source.bytes.get(), info), c.value) << c.name;
        // The resampler's fast paths must agree with the general reading.
        std::int8_t out = 0;
        SourceReader reader = memory_reader(view_of(source));
        EXPECT_TRUE(resample_to_s8(reader, info, 22050, 1, &out));
        EXPECT_EQ(out, c.value) << c.name;
    }
}

TEST(Resample, PartialLastFrameReadsWhatFollowsTheData) {
    // 16-bit mono with 3 data bytes: the second frame's high byte is the
    // first byte after the data. Upsampling 4x reads it.
    Bytes file = test::wav(8000, 16, 1, test::bytes({0x00, 0x40, 0x00})) + test::bytes({0xC0});
    file.replace(40, 4, test::le32(3));
    SourceBuffer source;
    make_source(file, source);
    SourceReader reader = memory_reader(view_of(source));
    WaveInfo info{8000, 16, 1, 3, 44};
    std::int8_t out[6];
    EXPECT_TRUE(resample_to_s8(reader, info, 32000, 6, out));
    EXPECT_EQ(std::vector<int>(out, out + 6), (std::vector<int>{64, 64, 64, 64, -64, -64}));

    // At the end of the file the missing byte reads as 0, never beyond.
    Bytes cut = file.substr(0, file.size() - 1);
    make_source(cut, source);
    SourceReader cut_reader = memory_reader(view_of(source));
    EXPECT_TRUE(resample_to_s8(cut_reader, info, 32000, 6, out));
    EXPECT_EQ(out[5], 0);
}

}  // namespace

namespace {

TEST(Resample, ReadingThroughAnySizeOfWindowGivesTheSameSamples) {
    struct Layout {
        std::uint32_t rate;
        int bits, channels;
        std::size_t data;  // bytes, not always whole frames
        std::int32_t out_rate;
    };
    const Layout layouts[] = {{44100, 16, 2, 4001, 32000}, {8000, 8, 1, 999, 32000}, {22050, 8, 2, 1001, 11025},
                              {48000, 24, 3, 1000, 16000}, {11025, 16, 1, 777, 22050}, {96000, 32, 2, 1606, 32000}};
    std::uint32_t seed = 99;
    test::TempDir dir;
    for (const Layout& l : layouts) {
        Bytes data;
        for (std::size_t i = 0; i < l.data; ++i) data.push_back(static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24));
        // A chunk after the data supplies a partial last frame's bytes.
        Bytes file = test::wav(l.rate, l.bits, l.channels, data) + "LIST" + test::le32(2) + "xy";
        std::uint32_t frame_bytes = static_cast<std::uint32_t>(l.bits / 8 * l.channels);
        auto count = static_cast<std::uint32_t>(std::uint64_t{l.data} * static_cast<std::uint32_t>(l.out_rate) /
                                                (std::uint64_t{frame_bytes} * l.rate));
        WaveInfo info{l.rate, static_cast<std::uint16_t>(l.bits), static_cast<std::uint16_t>(l.channels),
                      static_cast<std::uint32_t>(l.data), 44};

        SourceBuffer source;
        make_source(file, source);
        SourceReader in_memory = memory_reader(view_of(source));
        std::vector<std::int8_t> expected(count);
        ASSERT_TRUE(resample_to_s8(in_memory, info, l.out_rate, count, expected.data()));

        test::write_file(dir.path / "in.wav", file);
        for (std::size_t window : {1, 5, 64, 4096}) {
            SourceReader streamed;
            ASSERT_EQ(open_reader((dir.path / "in.wav").string(), streamed, window), LoadStatus::ok);
            std::vector<std::int8_t> actual(count);
            // In uneven pieces, as the writer asks for them.
            ResampleCursor cursor = start_resampling(info, l.out_rate);
            for (std::uint32_t done = 0, piece = 1; done < count; done += piece, piece = piece * 3 + 1) {
                piece = std::min(piece, count - done);
                ASSERT_TRUE(resample_next(streamed, info, cursor, actual.data() + done, piece));
            }
            EXPECT_EQ(actual, expected) << l.bits << " bits, " << l.channels << " channels, window " << window;
            close_reader(streamed);
        }
    }
}

}  // namespace
