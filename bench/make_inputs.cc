// Writes the benchmark inputs, the same bytes on every run:
//   make_inputs midi <path> <channel events>   a 16-track format 1 MIDI file
//   make_inputs wav <path> <seconds>           44100 Hz 16-bit stereo PCM
//   make_inputs bytes <path> <count>           <count> pseudo-random bytes
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTracks = 16;
constexpr int kDivision = 480;

std::uint32_t next_random(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

void put_be32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void put_le(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

void put_var_len(std::string& out, std::uint32_t v) {
    char bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n-- > 1) out.push_back(static_cast<char>(bytes[n] | 0x80));
    out.push_back(bytes[0]);
}

void put_track(std::string& file, const std::string& events) {
    file += "MTrk";
    put_be32(file, static_cast<std::uint32_t>(events.size()));
    file += events;
}

// Track 0 carries the tempo changes; tracks 1 to 15 play notes on their own
// channel, mostly under running status, with controllers and bends between.
std::string make_midi(long channel_events) {
    std::string file = "MThd";
    put_be32(file, 6);
    file += std::string{0, 1, 0, kTracks, static_cast<char>(kDivision >> 8), static_cast<char>(kDivision & 0xFF)};

    std::string tempo;
    for (int i = 0; i < 200; ++i) {
        put_var_len(tempo, i == 0 ? 0 : 960);
        std::uint32_t microseconds = 400000 + static_cast<std::uint32_t>(i % 7) * 50000;
        tempo += std::string{'\xFF', '\x51', '\x03'};
        tempo.push_back(static_cast<char>(microseconds >> 16));
        tempo.push_back(static_cast<char>(microseconds >> 8));
        tempo.push_back(static_cast<char>(microseconds));
    }
    tempo += std::string{'\0', '\xFF', '\x2F', '\0'};
    put_track(file, tempo);

    std::uint32_t state = 2026;
    long per_track = channel_events / (kTracks - 1);
    for (int track = 1; track < kTracks; ++track) {
        long count = per_track + (track <= channel_events % (kTracks - 1) ? 1 : 0);
        std::string events;
        int channel = track - 1;
        int status = -1;
        for (long i = 0; i < count; ++i) {
            std::uint32_t r = next_random(state);
            int kind = r % 16 == 0 ? 0xB0 : r % 16 == 1 ? 0xE0 : 0x90;
            put_var_len(events, r % 3 == 0 ? 0 : (r >> 4) % 240);
            int wanted = kind | channel;
            if (wanted != status) events.push_back(static_cast<char>(status = wanted));
            int key = 36 + static_cast<int>((r >> 12) % 48);
            if (kind == 0x90) {
                // Every other note event ends the previous note (velocity 0).
                events.push_back(static_cast<char>(key));
                events.push_back(static_cast<char>(i % 2 ? 0 : 40 + (r >> 20) % 80));
            } else if (kind == 0xB0) {
                events.push_back(static_cast<char>(r >> 20 & 1 ? 7 : 10));
                events.push_back(static_cast<char>((r >> 12) % 128));
            } else {
                events.push_back(static_cast<char>((r >> 12) % 128));
                events.push_back(static_cast<char>((r >> 20) % 128));
            }
        }
        events += std::string{'\0', '\xFF', '\x2F', '\0'};
        put_track(file, events);
    }
    return file;
}

std::string make_wav(long seconds) {
    const std::uint32_t rate = 44100, frames = static_cast<std::uint32_t>(rate * seconds);
    const std::uint32_t data = frames * 4;
    std::string file = "RIFF";
    put_le(file, 36 + data, 4);
    file += "WAVEfmt ";
    put_le(file, 16, 4);
    put_le(file, 1, 2);
    put_le(file, 2, 2);
    put_le(file, rate, 4);
    put_le(file, rate * 4, 4);
    put_le(file, 4, 2);
    put_le(file, 16, 2);
    file += "data";
    put_le(file, data, 4);
    file.reserve(file.size() + data);
    std::uint32_t state = 44100;
    for (std::uint32_t i = 0; i < frames; ++i) {
        // A slow sawtooth with noise, different in each channel.
        std::uint32_t noise = next_random(state);
        put_le(file, (i * 37 + (noise & 0xFFF)) & 0xFFFF, 2);
        put_le(file, (i * 53 + (noise >> 12 & 0xFFF)) & 0xFFFF, 2);
    }
    return file;
}

std::string make_bytes(long count) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(count));
    std::uint32_t state = 7;
    for (long i = 0; i < count; ++i) bytes.push_back(static_cast<char>(next_random(state)));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_inputs midi|wav|bytes <path> <size>\n");
        return 2;
    }
    long size = std::strtol(argv[3], nullptr, 10);
    std::string content = std::strcmp(argv[1], "midi") == 0  ? make_midi(size)
                          : std::strcmp(argv[1], "wav") == 0 ? make_wav(size)
                                                             : make_bytes(size);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(content.data(), 1, content.size(), out) != content.size() || std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
