#include "platform/linux/watch_limit_notice.h"

#include <algorithm>
#include <fstream>

namespace tarnwell {

long ReadMaxUserWatches() {
    std::ifstream in("/proc/sys/fs/inotify/max_user_watches");
    long value = 0;
    if (!(in >> value) || value < 0) return 0;
    return value;
}

std::string WatchLimitNotice(std::size_t refused, long limit) {
    // Twice the limit, and never less than what current kernels choose for a
    // machine with a few GiB: enough that the next try is not refused again.
    const long suggested = std::max(524288L, limit * 2);
    const std::string setting = "fs.inotify.max_user_watches";
    // Told once per run, so the count is what it is when the notice is shown.
    std::string text = "So far, " + std::to_string(refused);
    text += refused == 1 ? " folder" : " folders";
    text +=
        " of the watched tree could not be watched: the system's limit on inotify "
        "watches (" +
        setting;
    text += limit > 0 ? " = " + std::to_string(limit) : std::string(", value unknown");
    text +=
        ") is reached, and all programs of this user share it. Changes inside them are not "
        "reported; the results list marks each such folder with a row whose action is "
        "empty. They are tried again when the system's queue of changes overflows and at "
        "the next Start.\n\n"
        "To raise the limit until the computer restarts, run:\n"
        "    sudo sysctl " +
        setting + "=" + std::to_string(suggested) +
        "\n\n"
        "To raise it for good, put the line\n"
        "    " +
        setting + "=" + std::to_string(suggested) +
        "\n"
        "into a file under /etc/sysctl.d/ (for example /etc/sysctl.d/60-inotify.conf), "
        "then run: sudo sysctl --system";
    return text;
}

}  // namespace tarnwell
