// Where the help file is looked for: beside the executable itself, also when
// the program was started through a symbolic link.

#include "platform/help_viewer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(ExecutableFolder, IsTheFolderOfThisTestProgram) {
    EXPECT_EQ(tarnwell::ExecutableFolder(), fs::canonical(TARNWELL_TEST_BINARY_DIR).string() + "/");
}

TEST(ExecutableFolder, IsTheTargetsFolderWhenStartedThroughALink) {
    if (std::getenv("TARNWELL_PRINT_EXECUTABLE_FOLDER") != nullptr) {
        // The child started through the link: report and go.
        std::printf("folder=%s\n", tarnwell::ExecutableFolder().c_str());
        std::fflush(stdout);
        std::_Exit(0);
    }
    char dirTemplate[] = "/tmp/tarnwell-link-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const fs::path dir = dirTemplate;
    fs::create_symlink(fs::read_symlink("/proc/self/exe"), dir / "tarnwell");
    const std::string command = "TARNWELL_PRINT_EXECUTABLE_FOLDER=1 '" +
                                (dir / "tarnwell").string() +
                                "' --gtest_filter='ExecutableFolder.IsTheTargetsFolder*' "
                                "--gtest_brief=1 | grep '^folder='";
    FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    char line[4096] = {};
    const bool read = std::fgets(line, sizeof line, child) != nullptr;
    pclose(child);
    fs::remove_all(dir);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(line),
              "folder=" + fs::canonical(TARNWELL_TEST_BINARY_DIR).string() + "/\n");
}

}  // namespace
