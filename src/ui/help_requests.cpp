#include "ui/help_requests.h"

#include "ui/app_constants.h"

namespace tarnwell {

bool HelpRequests::LoadHtmlHelp() {
    if (lookedForViewer_) return viewerFound_;
    lookedForViewer_ = true;
    viewerFound_ = services_.findViewer && services_.findViewer();
    return viewerFound_;
}

void HelpRequests::CallHelp(const std::string& file, unsigned command, std::uint32_t data) {
    // No viewer: the request is dropped, as on a system without one.
    if (!viewerFound_ || !services_.showHelp) return;
    services_.showHelp(file, command, data);
}

void HelpRequests::DisplayHelp(std::uint16_t command, std::uint32_t data) {
    const std::string folder = services_.executableFolder ? services_.executableFolder() : "";
    const std::string path = folder + AppConstants::kHelpFileName;
    if ((services_.isFile && services_.isFile(path)) || helpFileWarned_) {
        switch (command) {
            case 1:
                CallHelp(path, kHhHelpContext, data);
                break;
            case 3:
                CallHelp(path, kHhDisplayIndex, data);
                break;
            case 999:
                CallHelp(path, kHhDisplayToc, 0);
                break;
            default:
                break;
        }
        return;
    }
    if (warningOpen_) return;
    warningOpen_ = true;
    if (services_.warn) services_.warn("Cannot find Help File : " + path);
    warningOpen_ = false;
    helpFileWarned_ = true;
}

}  // namespace tarnwell
