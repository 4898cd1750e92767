// The viewer search and launch with real processes: fake kchmviewer and xchm
// scripts on a private PATH write the arguments they were started with.

#include "platform/help_viewer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using tarnwell::HelpView;

namespace {

class HelpViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir_template[] = "/tmp/tarnwell-viewer-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        dir_ = dir_template;
        fs::create_directory(dir_ / "bin");
        const char* path = std::getenv("PATH");
        saved_path_ = path != nullptr ? path : "";
        setenv("PATH", (dir_ / "bin").c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", saved_path_.c_str(), 1);
        fs::remove_all(dir_);
    }

    // A viewer that writes its name and arguments, one a line, to <dir>/<name>.args.
    void AddFakeViewer(const std::string& name) {
        const fs::path script = dir_ / "bin" / name;
        const fs::path out = dir_ / (name + ".args");
        std::ofstream(script) << "#!/bin/sh\n"
                              << "printf '%s\\n' \"${0##*/}\" \"$@\" > '" << out.string()
                              << ".tmp'\n"
                              << "/bin/mv '" << out.string() << ".tmp' '" << out.string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
    }

    // The arguments the viewer was started with; empty if it did not start within 10 s.
    std::vector<std::string> WaitForArguments(const std::string& name) {
        const fs::path out = dir_ / (name + ".args");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<std::string> lines;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    fs::path dir_;
    std::string saved_path_;
};

TEST_F(HelpViewerTest, StartsTheViewerAtTheRightPlace) {
    struct Case {
        const char* name;
        std::vector<std::string> viewers;  // installed
        HelpView view;
        std::uint32_t context;
        std::vector<std::string> expected;  // program, then arguments before the file
    };
    const Case cases[] = {
        {"xchm, context 1028", {"xchm"}, HelpView::Context, 1028, {"xchm", "-c", "1028"}},
        {"xchm, table of contents", {"xchm"}, HelpView::TableOfContents, 0, {"xchm"}},
        {"xchm, unmapped context", {"xchm"}, HelpView::Context, 0, {"xchm"}},
        {"kchmviewer before xchm",
         {"xchm", "kchmviewer"},
         HelpView::Context,
         1028,
         {"kchmviewer", "-showPage", "/main_window.html"}},
        {"kchmviewer, index", {"kchmviewer"}, HelpView::Index, 0, {"kchmviewer"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(dir_ / "bin")) fs::remove(entry);
        for (const auto& viewer : c.viewers) AddFakeViewer(viewer);
        auto viewer = tarnwell::FindHelpViewer();
        ASSERT_NE(viewer, nullptr);
        const std::string file = (dir_ / "with space" / "tarnwell.chm").string();
        viewer->Show(file, c.view, c.context);
        auto expected = c.expected;
        expected.push_back(file);
        EXPECT_EQ(WaitForArguments(c.expected.front()), expected);
        fs::remove(dir_ / (c.expected.front() + ".args"));
    }
}

TEST_F(HelpViewerTest, FindsNoViewerWhereNoneCanRun) {
    EXPECT_EQ(tarnwell::FindHelpViewer(), nullptr);

    // Neither a file that may not be run nor a folder of the name counts.
    std::ofstream(dir_ / "bin" / "xchm") << "#!/bin/sh\n";
    fs::permissions(dir_ / "bin" / "xchm", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(dir_ / "bin" / "kchmviewer");
    EXPECT_EQ(tarnwell::FindHelpViewer(), nullptr);

    // A relative PATH entry is not searched: it would run a program from the
    // current folder.
    fs::create_directory(dir_ / "here");
    AddFakeViewer("xchm");
    fs::rename(dir_ / "bin" / "xchm", dir_ / "here" / "xchm");
    const auto cwd = fs::current_path();
    fs::current_path(dir_);
    setenv("PATH", ":here", 1);
    EXPECT_EQ(tarnwell::FindHelpViewer(), nullptr);
    fs::current_path(cwd);
}

TEST(ExecutableFolder, IsTheFolderOfThisTestProgram) {
    EXPECT_EQ(tarnwell::ExecutableFolder(), fs::canonical(TARNWELL_TEST_BINARY_DIR).string() + "/");
}

}  // namespace
