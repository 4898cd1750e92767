#include "platform/path_syntax.h"

#include <sys/stat.h>

namespace tarnwell {

const PathSyntax& NativePathSyntax() {
    return kPosixPathSyntax;
}

bool IsExistingDirectory(const char* path) {
    struct stat st {};
    return path != nullptr && *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace tarnwell
