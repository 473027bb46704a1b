// The converters format their lines by hand for speed; these must be the
// very texts that the printf formats give, for any values.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "pcmar.h"
#include "sequence_writer.h"

namespace {

TEST(Formatting, RecordAndWaitLinesMatchPrintf) {
    std::mt19937 random(2026);
    TextSink fast = memory_sink();
    std::string slow;
    char line[96];
    auto check_values = [&](std::uint32_t a, std::uint32_t b) {
        auto b0 = static_cast<std::uint8_t>(a), b1 = static_cast<std::uint8_t>(a >> 8);
        auto b2 = static_cast<std::uint8_t>(a >> 16), b3 = static_cast<std::uint8_t>(a >> 24);
        write_record(fast, b0, b1, b2, b3);
        std::snprintf(line, sizeof line, "\t.byte\t0x%02x, 0x%02x, 0x%02x, 0x%02x\n", b0, b1, b2, b3);
        slow += line;
        write_wait(fast, a, b);
        std::snprintf(line, sizeof line, "\t.byte\t0xff, 0x%02x, 0x%02x, 0x%02x\t@ wait (clock:%d)\n", 0, a & 0xFF,
                      (a >> 8) & 0xFF, static_cast<int>(b));
        slow += line;
    };
    for (std::uint32_t edge : {0u, 1u, 9u, 10u, 65535u, 65536u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        check_values(edge, edge);
    for (int i = 0; i < 100000; ++i) check_values(random(), random() >> (random() % 32));
    EXPECT_EQ(sink_text(fast), slow);
}

TEST(Formatting, DecimalNumbersMatchPrintf) {
    std::mt19937_64 random(96);
    std::vector<std::int64_t> values = {0, 1, 9, 10, 99, 100, 999, 1000, -1, -10, -100, INT32_MIN, INT32_MAX,
                                        INT64_MIN, INT64_MAX, 1000000000000000000, 999999999999999999};
    for (int i = 0; i < 10000; ++i) values.push_back(static_cast<std::int64_t>(random() >> (random() % 64)));
    for (std::int64_t value : values) {
        TextSink fast = memory_sink();
        sink_write_int(fast, value);
        char slow[32];
        std::snprintf(slow, sizeof slow, "%lld", static_cast<long long>(value));
        ASSERT_EQ(sink_text(fast), slow) << value;
    }
}

TEST(Formatting, SampleLinesMatchPrintf) {
    std::mt19937 random(44100);
    for (std::uint32_t count : {0u, 1u, 15u, 16u, 17u, 32u, 1000u, 4099u}) {
        std::vector<std::int8_t> samples(count);
        for (auto& sample : samples) sample = static_cast<std::int8_t>(random());
        TextSink fast = memory_sink();
        write_sample_lines(fast, samples.data(), count);
        std::string slow;
        char value[8];
        for (std::uint32_t j = 0; j < count; ++j) {
            if (j % 16 == 0) slow += ".byte ";
            std::snprintf(value, sizeof value, "0x%02x", static_cast<std::uint8_t>(samples[j]));
            slow += value;
            slow += j % 16 == 15 || j == count - 1 ? "\n" : ",";
        }
        EXPECT_EQ(sink_text(fast), slow) << count;
    }
}

}  // namespace
