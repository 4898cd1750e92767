#include "engine/location_split.h"

namespace tarnwell {

SplitLocationResult SplitLocation(const std::string& path, bool isExistingDirectory,
                                  const PathSyntax& syntax) {
    if (isExistingDirectory) return {path, "*"};
    const std::size_t last = path.find_last_of(syntax.delimiters);
    if (last == std::string::npos) return {std::string(), path};
    return {path.substr(0, last + 1), path.substr(last + 1)};
}

void AssignFullPath(std::string& out, std::string_view directory, std::string_view relativeName,
                    const PathSyntax& syntax) {
    out.assign(directory);
    // Only the separator itself counts: "C:" still gets one, giving "C:\name".
    if (directory.empty() || directory.back() != syntax.separator) out += syntax.separator;
    out += relativeName;
}

}  // namespace tarnwell
