#pragma once
// Starting helper programs (the help viewer, xdg-open) so that they live on
// their own. Linux backend only; user-interface thread.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The full path of `name` in an absolute folder of the PATH, executable and a
// regular file; empty when there is none. Empty and relative PATH entries are
// skipped: they would run whatever program of that name lies in the current
// folder.
std::string FindOnPath(std::string_view name);

// Runs `program` with `arguments` (argv[0] included) as a grandchild in a
// session of its own, so it outlives the program, never becomes its zombie and
// inherits none of its descriptors. Its result is not looked at.
void StartDetached(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tarnwell
