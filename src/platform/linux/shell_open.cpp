#include "platform/shell_open.h"

#include "platform/linux/detached_process.h"

namespace tarnwell {

void ShellOpen(NativeWindowId /*owner*/, const std::string& target) {
    const std::string program = FindOnPath("xdg-open");
    if (program.empty()) return;
    StartDetached(program, {program, target});
}

}  // namespace tarnwell
