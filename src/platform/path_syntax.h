#pragma once
// How paths are written on one operating system. Plain values; any thread.

#include <string_view>

namespace tarnwell {

struct PathSyntax {
    // Characters that end the folder part of a typed location ("\" and ":" on
    // Windows, "/" on POSIX).
    std::string_view delimiters;
    // Put between a folder and a name when the folder does not end with it.
    char separator;
};

inline constexpr PathSyntax kWindowsPathSyntax{"\\:", '\\'};
inline constexpr PathSyntax kPosixPathSyntax{"/", '/'};

// The syntax of the system this program runs on.
const PathSyntax& NativePathSyntax();

// Whether the path names an existing folder (GetFileAttributesA with the
// directory attribute on Windows, stat on Linux).
bool IsExistingDirectory(const char* path);

}  // namespace tarnwell
