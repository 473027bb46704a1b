#include "output_file.h"

#include <filesystem>
#include <system_error>

namespace {

// Where a text file's bytes are not the bytes written to it (line ends
// translated), the written length is not the file's, and a file cannot be
// cut to it.
#if defined(_WIN32)
constexpr bool kTextIsBinary = false;
#else
constexpr bool kTextIsBinary = true;
#endif

}  // namespace

bool open_output(const std::string& path, OutputFile& output) {
    output = OutputFile{};
    output.path = path;
    std::error_code ignored;
    // Only a regular file can be cut to length; anything else (a device, a
    // pipe) is opened as usual.
    if (kTextIsBinary && std::filesystem::is_regular_file(path, ignored)) {
        output.file = std::fopen(path.c_str(), "r+");
        output.in_place = output.file != nullptr;
    }
    if (!output.file) output.file = std::fopen(path.c_str(), "w");
    return output.file != nullptr;
}

bool close_output(OutputFile& output, TextSink& sink) {
    bool written = sink_flush(sink) && std::fflush(output.file) == 0;
    // Cut also after a failed write, so that none of the old text can pass
    // for part of the new.
    if (output.in_place) {
        std::error_code error;
        std::filesystem::resize_file(output.path, sink.passed, error);
        if (error) written = false;
    }
    if (std::fclose(output.file) != 0) written = false;
    output.file = nullptr;
    return written;
}
