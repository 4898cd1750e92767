#pragma once
// Splitting a typed location into folder and mask, and joining a folder with a
// reported name. Parameterised by the path syntax so both are tested for
// Windows and POSIX on every platform. Any thread.

#include <string>
#include <string_view>

#include "platform/path_syntax.h"

namespace tarnwell {

struct SplitLocationResult {
    std::string Directory;
    std::string Mask;
};

// `isExistingDirectory`: whether the system reports the path as a folder.
// Then the whole path is the folder and the mask is "*"; otherwise the folder
// is everything up to and including the last delimiter (empty without one)
// and the mask the rest.
SplitLocationResult SplitLocation(const std::string& path, bool isExistingDirectory,
                                  const PathSyntax& syntax);

// Directory, the separator unless Directory already ends with it, the name;
// into `out`, reusing its storage (the batch keeps one per walk).
void AssignFullPath(std::string& out, std::string_view directory, std::string_view relativeName,
                    const PathSyntax& syntax);

}  // namespace tarnwell
