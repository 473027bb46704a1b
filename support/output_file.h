// Opening and finishing a converter's output file.
#pragma once

#include <cstdio>
#include <string>

#include "text_sink.h"

struct OutputFile {
    std::FILE* file = nullptr;
    std::string path;
    // An existing file is written over in place and cut to length at the
    // end, rather than emptied first: writing over pages the system already
    // holds costs a fraction of freeing them and taking new ones, and some
    // file systems flush an emptied and rewritten file when it is closed.
    bool in_place = false;
};

// Opens `path` for writing text. False when it cannot be opened.
bool open_output(const std::string& path, OutputFile& output);

// Hands what `sink` still holds to the file and closes it; a file written
// over in place is then cut to the length written, so nothing of its old
// text remains. False when any of it failed.
bool close_output(OutputFile& output, TextSink& sink);
