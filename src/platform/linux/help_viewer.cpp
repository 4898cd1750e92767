// Help on Linux: a CHM viewer found on the PATH, started detached. The topic
// of a context number comes from the table the help file's [MAP] is made from.

#include "platform/help_viewer.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "help_contexts.h"
#include "platform/linux/detached_process.h"

namespace tarnwell {
namespace {

const char* TopicOfContext(std::uint32_t context) {
    for (const auto& entry : kHelpContextTopics)
        if (entry.context == context) return entry.topic;
    return nullptr;
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
