// Converts the bundled examples and compares every byte with the outputs
// that were checked when they were made.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using test::quote;
using test::read_file;

const std::filesystem::path kExamples = EXAMPLES_DIR;
const std::filesystem::path kGolden = GOLDEN_DIR;

struct GoldenCase {
    const char* command;  // run in a directory holding a copy of the input
    const char* input;
    const char* output;
    const char* golden_output;
    const char* golden_report;
};

TEST(Golden, BundledExamplesConvertExactly) {
    const GoldenCase cases[] = {
        {NOTEBAKE_BINARY, "theme.mid", "theme.s", "theme.s", "theme.report"},
        {PCMAR_BINARY, "chime.wav", "chime.s", "chime.s", "chime.report"},
        {PCMAR_BINARY " -f3 -l1000", "chime.wav", "chime.s", "chime-f3-l1000.s", nullptr},
    };
    for (const GoldenCase& c : cases) {
        test::TempDir dir;
        std::filesystem::copy_file(kExamples / c.input, dir.path / c.input);
        auto r = test::run(dir.path, std::string(c.command) + " " + c.input);
        ASSERT_EQ(r.status, 0) << c.command << ": " << r.err;
        EXPECT_EQ(r.err, "");
        if (c.golden_report) {
            EXPECT_EQ(r.out, read_file(kGolden / c.golden_report)) << c.command;
        }
        EXPECT_EQ(read_file(dir.path / c.output), read_file(kGolden / c.golden_output)) << c.command;
    }
}

}  // namespace
