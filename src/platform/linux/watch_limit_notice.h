#pragma once
// What the user is told when the system's limit on inotify watches keeps
// folders of a watch unwatched. Any thread.

#include <cstddef>
#include <string>

namespace tarnwell {

// The value of fs.inotify.max_user_watches; 0 when it cannot be read.
long ReadMaxUserWatches();

// The notice for `refused` folders left unwatched under a limit of `limit`
// watches (0: unknown).
std::string WatchLimitNotice(std::size_t refused, long limit);

}  // namespace tarnwell
