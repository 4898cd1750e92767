#pragma once
// The system's viewer of compiled HTML help files, and the folder of the
// running executable where the help file lies. User-interface thread only.

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

    // Starts the viewer on `file` and returns at once; the viewer is never
    // waited for and never closed by the program. Whether it could show the
    // file is the viewer's own business.
    virtual void Show(const std::string& file, HelpView view, std::uint32_t context) = 0;
};

// Looks for an installed viewer; null when there is none. On Linux:
// kchmviewer, else xchm, searched on the PATH.
std::unique_ptr<HelpViewer> FindHelpViewer();

// The folder of the running executable, ending with its separator; empty when
// it cannot be determined.
std::string ExecutableFolder();

}  // namespace tarnwell
