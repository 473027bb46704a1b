// Helpers shared by the tests: byte builders for MIDI and WAV fixtures,
// in-process sinks, and a runner for the real binaries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace test {

using Bytes = std::string;

inline Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

inline Bytes be32(std::uint32_t v) { return bytes({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)}); }
inline Bytes be16(std::uint32_t v) { return bytes({int(v >> 8 & 0xFF), int(v & 0xFF)}); }
inline Bytes le32(std::uint32_t v) { return bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }
inline Bytes le16(std::uint32_t v) { return bytes({int(v & 0xFF), int(v >> 8 & 0xFF)}); }

// "MThd" header with the given fields.
inline Bytes smf_header(int format, int tracks, int division) {
    return "MThd" + be32(6) + be16(format) + be16(tracks) + be16(division);
}

// A track chunk whose length is that of its events.
inline Bytes track(const Bytes& events) { return "MTrk" + be32(static_cast<std::uint32_t>(events.size())) + events; }

inline Bytes smf(int division, std::initializer_list<Bytes> tracks, int format = 1) {
    Bytes out = smf_header(format, static_cast<int>(tracks.size()), division);
    for (const Bytes& t : tracks) out += t;
    return out;
}

// A canonical 44-byte-header WAV file around `data`.
inline Bytes wav(std::uint32_t rate, int bits, int channels, const Bytes& data) {
    Bytes fmt = le16(1) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8) +
                le16(channels * bits / 8) + le16(bits);
    return "RIFF" + le32(static_cast<std::uint32_t>(36 + data.size())) + "WAVE" + "fmt " + le32(16) + fmt + "data" +
           le32(static_cast<std::uint32_t>(data.size())) + data;
}

struct RunResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `command` (a shell command line) in `dir`, capturing both streams.
RunResult run(const std::filesystem::path& dir, const std::string& command);

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const Bytes& content);

// A fresh, empty directory for one test, removed with the object.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

// True when `tool` is on the PATH.
bool have_tool(const char* tool);

// Shell-quotes a path or argument.
std::string quote(const std::string& text);

}  // namespace test
