#pragma once
// The viewer of compiled HTML help files, and the folder of the running
// executable where the help file lies. User-interface thread only.

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwell {

// What the viewer opens the help file at.
enum class HelpView {
    TableOfContents,
    Index,
    Context,  // the topic that the file maps the context number to
};

class HelpViewer {
  public:
    virtual ~HelpViewer() = default;

    // Shows `file` at `view` and returns at once. Whether it could show the
    // file is the viewer's own business.
    virtual void Show(const std::string& file, HelpView view, std::uint32_t context) = 0;
};

// Windows: HTML Help, loaded at run time; null when the system has none. The
// Linux program needs no outside viewer: it has a help window of its own.
std::unique_ptr<HelpViewer> FindHelpViewer();

// The folder of the running executable, symbolic links resolved, ending with
// its separator; empty when it cannot be determined.
std::string ExecutableFolder();

}  // namespace tarnwell
