// The help requests with fake services: which HTML Help command each request
// becomes, the one warning of a run when the help file is missing, and no
// call without a viewer.

#include "ui/help_requests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

struct Recorder {
    bool fileThere = true;
    bool viewer = true;
    int searches = 0;
    std::vector<std::string> calls;

    HelpRequestServices Services() {
        HelpRequestServices services;
        services.executableFolder = [] { return std::string("C:\\Apps\\"); };
        services.findViewer = [this] {
            ++searches;
            return viewer;
        };
        services.isFile = [this](const std::string&) { return fileThere; };
        services.showHelp = [this](const std::string& file, unsigned command, std::uint32_t data) {
            calls.push_back(file + " " + std::to_string(command) + " " + std::to_string(data));
        };
        services.warn = [this](const std::string& text) { calls.push_back("warn " + text); };
        return services;
    }
};

TEST(HelpRequests, EachRequestBecomesItsCommand) {
    Recorder recorder;
    HelpRequests help(recorder.Services());
    EXPECT_TRUE(help.LoadHtmlHelp());
    EXPECT_TRUE(help.LoadHtmlHelp());
    EXPECT_EQ(recorder.searches, 1) << "the viewer is looked for once";
    help.DisplayHelp(1, 1028);
    help.DisplayHelp(3, 7);
    help.DisplayHelp(999, 5);
    help.DisplayHelp(13, 123);  // a position notice: nothing to show
    const std::string file = "C:\\Apps\\tarnwell.chm";
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{file + " 15 1028", file + " 2 7", file + " 1 0"}));
}

TEST(HelpRequests, AMissingFileIsToldOnceAndNoViewerMeansNoCall) {
    Recorder recorder;
    recorder.fileThere = false;
    HelpRequests help(recorder.Services());
    help.LoadHtmlHelp();
    help.DisplayHelp(1, 1028);
    help.DisplayHelp(1, 1028);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"warn Cannot find Help File : C:\\Apps\\tarnwell.chm",
                                        "C:\\Apps\\tarnwell.chm 15 1028"}));

    Recorder noViewer;
    noViewer.viewer = false;
    HelpRequests without(noViewer.Services());
    EXPECT_FALSE(without.LoadHtmlHelp());
    without.DisplayHelp(999, 0);
    EXPECT_TRUE(noViewer.calls.empty());
}

}  // namespace
}  // namespace tarnwell
