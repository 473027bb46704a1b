// Runs every file in tests/regress through its tool: each is a truncated or
// hostile input (or one a fuzzer once failed on) with the exact message and
// exit status it must give. New findings go into cases.tsv.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

const std::filesystem::path kRegress = REGRESS_DIR;

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(Regression, EveryFixtureFailsWithItsExactMessage) {
    std::ifstream cases(kRegress / "cases.tsv");
    ASSERT_TRUE(cases) << "no cases.tsv";
    std::string line;
    int checked = 0;
    while (std::getline(cases, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string tool, file, message;
        std::getline(fields, tool, '\t');
        std::getline(fields, file, '\t');
        std::getline(fields, message);
        std::string binary = tool == "notebake" ? NOTEBAKE_BINARY : PCMAR_BINARY;

        test::TempDir dir;
        std::filesystem::copy_file(kRegress / file, dir.path / file);
        auto r = test::run(dir.path, test::quote(binary) + " " + test::quote(file));
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err, unescape(message)) << file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
