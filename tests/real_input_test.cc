// Converts files made by real tools and checks the results against what
// other tools read from the same files: midicsv's event listing for MIDI,
// sox's decoded samples for WAV.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <vector>

#include "test_support.h"

namespace {

using test::quote;
using test::run;

const std::filesystem::path kFixtures = FIXTURES_DIR;

struct Record {
    std::uint32_t time;
    std::array<int, 4> bytes;
};

std::vector<std::string> split_csv(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ',')) {
        std::size_t start = field.find_first_not_of(' ');
        fields.push_back(start == std::string::npos ? "" : field.substr(start));
    }
    return fields;
}

// The records that the recording rules make of midicsv's listing, in time
// order (stable, so file order within a time).
std::vector<Record> records_from_csv(const std::string& csv) {
    struct Controls {
        int bend_range = 2, lsb = 0, msb = 0;
    };
    Controls controls[16];
    std::vector<Record> records;
    std::stringstream lines(csv);
    std::string line;
    while (std::getline(lines, line)) {
        auto f = split_csv(line);
        if (f.size() < 3) continue;
        auto time = static_cast<std::uint32_t>(std::stoul(f[1]));
        const std::string& type = f[2];
        auto arg = [&](std::size_t i) { return std::stoi(f[3 + i]); };
        if (type == "Tempo") {
            int bpm = 60000000 / arg(0);
            records.push_back({time, {0xF1, 1, bpm & 0xFF, (bpm >> 8) & 0xFF}});
            continue;
        }
        if (type.size() < 2 || type.substr(type.size() - 2) != "_c") continue;
        int channel = arg(0);
        Controls& c = controls[channel];
        if (type == "Note_on_c" || type == "Note_off_c") {
            bool on = type == "Note_on_c" && arg(2) != 0;
            int velocity = type == "Note_on_c" ? arg(2) * 128 / 127 : arg(2);
            records.push_back({time, {on ? 0x90 : 0x80, channel, arg(1), velocity & 0xFF}});
        } else if (type == "Control_c") {
            int number = arg(1), value = arg(2);
            if (number == 100) c.lsb = value;
            else if (number == 101) c.msb = value;
            else if (number == 6) c.bend_range = c.lsb == 0 && c.msb == 0 ? value : c.bend_range;
            else records.push_back({time, {0xB0, channel, number == 111 ? 56 : number,
                                           number == 7 ? value * 128 / 127 : value}});
        } else if (type == "Program_c") {
            records.push_back({time, {0xC0, channel, arg(1), 0}});
        } else if (type == "Channel_aftertouch_c") {
            records.push_back({time, {0xD0, channel, arg(1), 0}});
        } else if (type == "Poly_aftertouch_c") {
            records.push_back({time, {0xA0, channel, arg(1), arg(2)}});
        } else if (type == "Pitch_bend_c") {
            // midicsv gives the 14-bit value; centre 8192.
            int offset = (arg(1) - 8192) * c.bend_range;
            offset = offset >= 0 ? offset / 32 : -((-offset + 31) / 32);
            records.push_back({time, {0xE0, channel, offset & 0xFF, (offset >> 8) & 0xFF}});
        }
    }
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.time < b.time; });
    return records;
}

// The event and tempo records of a notebake output, without waits or end.
std::vector<std::array<int, 4>> records_from_output(const std::string& text) {
    std::vector<std::array<int, 4>> records;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("\t.byte\t", 0) != 0) continue;
        std::array<int, 4> r;
        for (int i = 0; i < 4; ++i) r[i] = std::stoi(line.substr(9 + 6 * i, 2), nullptr, 16);
        if (r[0] == 0xFF) continue;
        records.push_back(r);
    }
    return records;
}

TEST(RealInput, MidiEventsMapOneToOneOntoRecords) {
    if (!test::have_tool("midicsv")) GTEST_SKIP() << "midicsv not installed (Debian: midicsv)";
    for (const char* name : {"abc-waltz.mid", "csv-controllers.mid"}) {
        test::TempDir dir;
        std::filesystem::copy_file(kFixtures / name, dir.path / name);
        auto listing = run(dir.path, std::string("midicsv ") + name);
        ASSERT_EQ(listing.status, 0) << listing.err;
        ASSERT_EQ(run(dir.path, quote(NOTEBAKE_BINARY) + " " + name).status, 0);
        std::string output = test::read_file(dir.path / (std::string(name, std::strlen(name) - 4) + ".s"));

        std::vector<Record> expected = records_from_csv(listing.out);
        std::vector<std::array<int, 4>> actual = records_from_output(output);
        ASSERT_EQ(actual.size(), expected.size()) << name;
        ASSERT_GT(actual.size(), 10u) << name;
        for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(actual[i], expected[i].bytes) << name << " #" << i;
    }
}

// The samples of a pcmar output, as signed values.
std::vector<int> samples_from_output(const std::string& text) {
    std::vector<int> samples;
    std::size_t at = 0;
    while ((at = text.find("0x", at)) != std::string::npos) {
        if (text.compare(at - 6, 6, ".byte ") == 0 || text[at - 1] == ',')
            samples.push_back(static_cast<std::int8_t>(std::stoi(text.substr(at + 2, 2), nullptr, 16)));
        at += 2;
    }
    return samples;
}

struct WavCase {
    const char* name;
    const char* options;
    std::uint32_t in_rate, out_rate;
    int bits, channels;
};

TEST(RealInput, WavSamplesAreTheFramesThatTheResamplerPicks) {
    if (!test::have_tool("sox")) GTEST_SKIP() << "sox not installed (Debian: sox)";
    const WavCase cases[] = {
        {"sox-stereo-44100.wav", "", 44100, 32000, 16, 2},
        {"sox-stereo-44100.wav", "-f0 ", 44100, 11025, 16, 2},
        {"sox-mono8-8000.wav", "", 8000, 11025, 8, 1},
        {"sox-mono8-8000.wav", "-f3 ", 8000, 32000, 8, 1},
        {"sox-mono16-16000.wav", "-f2 ", 16000, 22050, 16, 1},
        {"espeak-22050.wav", "", 22050, 22050, 16, 1},
    };
    for (const WavCase& c : cases) {
        test::TempDir dir;
        std::filesystem::copy_file(kFixtures / c.name, dir.path / c.name);
        std::string encoding = c.bits == 8 ? "-e unsigned -b 8" : "-e signed -b 16 -L";
        auto decoded = run(dir.path, std::string("sox ") + c.name + " -t raw " + encoding + " frames.raw");
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        std::string raw = test::read_file(dir.path / "frames.raw");
        auto r = run(dir.path, quote(PCMAR_BINARY) + " " + c.options + c.name);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string stem(c.name, std::strlen(c.name) - 4);
        std::vector<int> samples = samples_from_output(test::read_file(dir.path / (stem + ".s")));

        const std::size_t frame_bytes = static_cast<std::size_t>(c.bits / 8 * c.channels);
        const std::size_t frames = raw.size() / frame_bytes;
        ASSERT_EQ(samples.size(), frames * c.out_rate / c.in_rate) << c.name << c.options;
        const std::uint64_t step = std::uint64_t{c.in_rate} * 65536 / c.out_rate;
        auto u8 = [&](std::size_t at) { return static_cast<int>(static_cast<std::uint8_t>(raw[at])); };
        auto s16 = [&](std::size_t at) { return static_cast<int>(static_cast<std::int16_t>(u8(at) | u8(at + 1) << 8)); };
        for (std::size_t j = 0; j < samples.size(); ++j) {
            std::size_t at = static_cast<std::size_t>(j * step / 65536) * frame_bytes;
            int expected = 0;
            if (c.channels == 2 && c.bits == 16) expected = (s16(at) + s16(at + 2)) / 512;
            else if (c.channels == 2) expected = (u8(at) + u8(at + 1) - 256) / 2;
            else if (c.bits == 16) expected = s16(at) / 256;
            else expected = u8(at) - 128;
            ASSERT_EQ(samples[j], expected) << c.name << c.options << " sample " << j;
        }
    }
}

}  // namespace
