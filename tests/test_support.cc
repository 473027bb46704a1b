#include "test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace test {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::filesystem::path& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

RunResult run(const std::filesystem::path& dir, const std::string& command) {
    auto out_path = dir / ".stdout";
    auto err_path = dir / ".stderr";
    std::string line = "cd " + quote(dir.string()) + " && " + command + " >" + quote(out_path.string()) + " 2>" +
                       quote(err_path.string()) + " </dev/null";
    int raw = std::system(line.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return result;
}

bool have_tool(const char* tool) {
    TempDir dir;
    return run(dir.path, std::string("command -v ") + tool).status == 0;
}

TempDir::TempDir() {
    std::random_device seed;
    path = std::filesystem::temp_directory_path() / ("converter-test-" + std::to_string(seed()));
    std::filesystem::create_directories(path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace test
