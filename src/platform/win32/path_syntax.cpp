// Windows paths: "\" and ":" end the folder part of a location.

#include "platform/path_syntax.h"

#include <windows.h>

namespace tarnwell {

const PathSyntax& NativePathSyntax() {
    return kWindowsPathSyntax;
}

bool IsExistingDirectory(const char* path) {
    if (path == nullptr) return false;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace tarnwell
