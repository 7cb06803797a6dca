// The dump file: opened empty, written one whole line at a time, every write and the close checked.
// The bytes are written as they are on every platform (the lines carry their own CR LF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "worker/worker_control.h"

namespace tovrin {

struct DumpFile {
    std::FILE* stream = nullptr;
    bool standard_output = false;
    bool failed = false;
    std::uint64_t bytes_kept = 0;  // the whole lines that reached the file
    char path[DUMP_PATH_SIZE] = {};
};

// Truncates or creates `path`; "-" is standard output.
bool open_dump_file(DumpFile& file, const char* path);

// Writes and flushes one line. After a failure the file takes nothing more.
bool append_line(DumpFile& file, const char* text, std::size_t length);

// Closes the file; a file whose last line could not be written whole is cut back to the lines
// before it. False when any write or the close failed.
bool close_dump_file(DumpFile& file);

}  // namespace tovrin
