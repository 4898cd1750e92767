#pragma once
// What has been written to an open stdio stream, such as a log that a test
// hands to the outputs as a temporary file.

#include <cstdio>
#include <string>

namespace tarnwell::test {

// Every byte written to `file` so far. The position is left at the end, so
// writing can go on after.
inline std::string StreamContents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string bytes;
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
    std::fseek(file, 0, SEEK_END);
    return bytes;
}

}  // namespace tarnwell::test
