// Help on Linux: a CHM viewer found on the PATH, started detached. The topic
// of a context number comes from the table the help file's [MAP] is made from.

#include "platform/help_viewer.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "help_contexts.h"

namespace tarnwell {
namespace {

const char* TopicOfContext(std::uint32_t context) {
    for (const auto& entry : kHelpContextTopics)
        if (entry.context == context) return entry.topic;
    return nullptr;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Only absolute folders of the PATH count: an empty or relative entry would
// run whatever program of that name lies in the current folder.
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

// Starts `arguments` detached: the viewer is a grandchild in a session of its
// own, so it outlives the program, never becomes a zombie of it and takes
// none of its descriptors. Between fork and exec only async-signal-safe calls,
// since worker threads may hold locks at the moment of the fork.
void StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::setsid();
        const pid_t viewer = ::fork();
        if (viewer == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
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

class KchmViewer final : public HelpViewer {
  public:
    explicit KchmViewer(std::string program) : program_(std::move(program)) {}
    void Show(const std::string& file, HelpView view, std::uint32_t context) override {
        const char* topic = view == HelpView::Context ? TopicOfContext(context) : nullptr;
        if (topic != nullptr)
            StartDetached(program_, {program_, "-showPage", topic, file});
        else
            StartDetached(program_, {program_, file});
    }

  private:
    std::string program_;
};

class Xchm final : public HelpViewer {
  public:
    explicit Xchm(std::string program) : program_(std::move(program)) {}
    void Show(const std::string& file, HelpView view, std::uint32_t context) override {
        // A context the file does not map would leave xchm's window empty;
        // the start topic is the better answer.
        if (view == HelpView::Context && TopicOfContext(context) != nullptr)
            StartDetached(program_, {program_, "-c", std::to_string(context), file});
        else
            StartDetached(program_, {program_, file});
    }

  private:
    std::string program_;
};

}  // namespace

std::unique_ptr<HelpViewer> FindHelpViewer() {
    if (auto program = FindOnPath("kchmviewer"); !program.empty())
        return std::make_unique<KchmViewer>(std::move(program));
    if (auto program = FindOnPath("xchm"); !program.empty())
        return std::make_unique<Xchm>(std::move(program));
    return nullptr;
}

std::string ExecutableFolder() {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace tarnwell
