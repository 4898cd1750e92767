#pragma once
// Where every help request of a face ends: the help file beside the
// executable, one warning per run when it is missing, and the request handed
// to the help viewer as an HTML Help command. The face gives the services
// (the Win32 face: the real viewer and MessageBoxA; tests: fakes).
// User-interface thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/help_viewer.h"

namespace tarnwell {

// The HTML Help commands that the requests turn into.
inline constexpr unsigned kHhDisplayToc = 1;
inline constexpr unsigned kHhDisplayIndex = 2;
inline constexpr unsigned kHhHelpContext = 0x0F;

// What the help viewer shows for an HTML Help command: the table of contents
// for any command but the context and index ones.
constexpr HelpView HelpViewOf(unsigned command) {
    return command == kHhHelpContext    ? HelpView::Context
           : command == kHhDisplayIndex ? HelpView::Index
                                        : HelpView::TableOfContents;
}

struct HelpRequestServices {
    // The folder of the running executable, ending with its separator.
    std::function<std::string()> executableFolder;
    // Looks for the help viewer; true when one was found.
    std::function<bool()> findViewer;
    std::function<bool(const std::string& path)> isFile;
    // The HTML Help call; made only when findViewer found a viewer.
    std::function<void(const std::string& file, unsigned command, std::uint32_t data)> showHelp;
    // The missing-file warning: no owner, caption "Tarnwell", warning icon,
    // OK. Returns when the user has closed it.
    std::function<void(const std::string& text)> warn;
};

class HelpRequests {
  public:
    explicit HelpRequests(HelpRequestServices services) : services_(std::move(services)) {}

    // Looks for the help viewer once; the result only tells whether one was found.
    bool LoadHtmlHelp();
    // command 1: context `data`; 3: contents (the index); 999: table of
    // contents; anything else: nothing beyond the existence test and the one
    // warning of the run.
    void DisplayHelp(std::uint16_t command, std::uint32_t data);

  private:
    void CallHelp(const std::string& file, unsigned command, std::uint32_t data);

    HelpRequestServices services_;
    bool lookedForViewer_ = false;
    bool viewerFound_ = false;
    bool helpFileWarned_ = false;
    // The warning leaves the windows usable, so a request can arrive while it
    // is open; it must not stack a second warning.
    bool warningOpen_ = false;
};

}  // namespace tarnwell
