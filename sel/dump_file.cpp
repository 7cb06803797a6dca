#include "sel/dump_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace tovrin {

bool open_dump_file(DumpFile& file, const char* path) {
    file = DumpFile{};
    std::strncpy(file.path, path, sizeof file.path - 1);
    if (std::strcmp(path, "-") == 0) {
        file.stream = stdout;
        file.standard_output = true;
        return true;
    }
    file.stream = std::fopen(path, "wb");
    return file.stream != nullptr;
}

bool append_line(DumpFile& file, const char* text, std::size_t length) {
    if (file.failed) {
        return false;
    }
    // Flushing each line makes a full disk show up at the line that did not fit.
    if (std::fwrite(text, 1, length, file.stream) != length || std::fflush(file.stream) != 0) {
        file.failed = true;
        return false;
    }
    file.bytes_kept += length;
    return true;
}

bool close_dump_file(DumpFile& file) {
    bool closed = true;
    if (file.standard_output) {
        closed = std::fflush(file.stream) == 0;
    } else {
        closed = std::fclose(file.stream) == 0;
        if (file.failed) {
            std::error_code ignored;
            std::filesystem::resize_file(file.path, file.bytes_kept, ignored);
        }
    }
    file.stream = nullptr;
    return closed && !file.failed;
}

}  // namespace tovrin
