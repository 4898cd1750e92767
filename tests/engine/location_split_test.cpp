#include "engine/location_split.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

struct SplitCase {
    const PathSyntax* syntax;
    const char* path;
    bool isDirectory;
    const char* directory;
    const char* mask;
};

TEST(LocationSplit, BothSyntaxes) {
    const PathSyntax* win = &kWindowsPathSyntax;
    const PathSyntax* posix = &kPosixPathSyntax;
    const SplitCase cases[] = {
        {win, "C:\\Data", true, "C:\\Data", "*"},
        {win, "C:\\Data\\", true, "C:\\Data\\", "*"},
        {win, "C:\\", true, "C:\\", "*"},
        {win, "C:\\Data\\log*.txt", false, "C:\\Data\\", "log*.txt"},
        {win, "C:\\Data\\app.log", false, "C:\\Data\\", "app.log"},
        {win, "C:\\Data\\Missing", false, "C:\\Data\\", "Missing"},
        {win, "C:report.txt", false, "C:", "report.txt"},
        {win, "report.txt", false, "", "report.txt"},
        {win, "", false, "", ""},
        {posix, "/data", true, "/data", "*"},
        {posix, "/data/", true, "/data/", "*"},
        {posix, "/", true, "/", "*"},
        {posix, "/data/log*.txt", false, "/data/", "log*.txt"},
        {posix, "/data/Missing", false, "/data/", "Missing"},
        // On POSIX a colon and a backslash are ordinary characters.
        {posix, "C:\\Data\\a.txt", false, "", "C:\\Data\\a.txt"},
        {posix, "report.txt", false, "", "report.txt"},
        {posix, "", false, "", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(std::string(c.syntax == win ? "windows " : "posix ") + c.path +
                     (c.isDirectory ? " (folder)" : ""));
        const SplitLocationResult result = SplitLocation(c.path, c.isDirectory, *c.syntax);
        EXPECT_EQ(result.Directory, c.directory);
        EXPECT_EQ(result.Mask, c.mask);
    }
}

struct JoinCase {
    const PathSyntax* syntax;
    const char* directory;
    const char* name;
    const char* full;
};

TEST(LocationSplit, FullPathBothSyntaxes) {
    const PathSyntax* win = &kWindowsPathSyntax;
    const PathSyntax* posix = &kPosixPathSyntax;
    const JoinCase cases[] = {
        {win, "C:\\Data", "a.txt", "C:\\Data\\a.txt"},
        {win, "C:\\Data\\", "a.txt", "C:\\Data\\a.txt"},
        {win, "C:\\", "a.txt", "C:\\a.txt"},
        {win, "C:\\Data", "sub\\a.txt", "C:\\Data\\sub\\a.txt"},
        {win, "C:\\Data", "", "C:\\Data\\"},  // an overflow names the folder itself
        {win, "C:", "a.txt", "C:\\a.txt"},    // only a backslash counts as separator
        {win, "", "a.txt", "\\a.txt"},
        {posix, "/data", "a.txt", "/data/a.txt"},
        {posix, "/data/", "a.txt", "/data/a.txt"},
        {posix, "/", "a.txt", "/a.txt"},
        {posix, "/data", "sub/a.txt", "/data/sub/a.txt"},
        {posix, "/data", "", "/data/"},
    };
    // One buffer for every case, as the batch reuses one: nothing of the
    // previous path may survive into the next.
    std::string full = "left over from before";
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(std::string(c.directory) + " + " + c.name);
        AssignFullPath(full, c.directory, c.name, *c.syntax);
        EXPECT_EQ(full, c.full);
    }
}

}  // namespace
}  // namespace tarnwell
