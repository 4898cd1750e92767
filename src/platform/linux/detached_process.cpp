#include "platform/linux/detached_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tarnwell {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

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
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

void StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // Between fork and exec only async-signal-safe calls: watch workers may
    // hold locks at the moment of the fork.
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, STDIN_FILENO);
                if (null != STDIN_FILENO) ::close(null);
            }
            ::close_range(3, ~0U, 0);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::_exit(0);
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace tarnwell
