#include "platform/shell_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace tarnwell {
namespace {

// Only absolute folders of the PATH count: an empty or relative entry would
// run whatever xdg-open lies in the current folder.
std::string FindOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (true) {
        const auto colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate(folder);
            if (candidate.back() != '/') candidate += '/';
            candidate += name;
            struct stat info {};
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace

void ShellOpen(NativeWindowId /*owner*/, const std::string& target) {
    const std::string program = FindOnPath("xdg-open");
    if (program.empty()) return;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(target.c_str()), nullptr};

    // xdg-open becomes a grandchild in a session of its own: it outlives the
    // program, never becomes its zombie and takes none of its descriptors.
    // Between fork and exec only async-signal-safe calls, since watch workers
    // may hold locks at the moment of the fork.
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::setsid();
        const pid_t opener = ::fork();
        if (opener == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, STDIN_FILENO);
                if (null != STDIN_FILENO) ::close(null);
            }
            ::close_range(3, ~0U, 0);
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        ::_exit(0);
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace tarnwell
