// Help on Linux: the program shows tarnwell.chm in a help window of its own,
// so the system service here is only where the file lies.

#include "platform/help_viewer.h"

#include <limits.h>
#include <unistd.h>

namespace tarnwell {

std::string ExecutableFolder() {
    // The kernel's link names the executable itself, every symbolic link on
    // the way (/usr/bin/tarnwell) already resolved, so the help file is found
    // beside the program wherever it was started from.
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace tarnwell
