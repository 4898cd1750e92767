// Sizes, owners, text, regional settings and paths from the Windows services,
// run under Wine (whose account names are synthetic: only their form counts).

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/decimal_separator.h"
#include "platform/directory_reader.h"
#include "platform/file_queries.h"
#include "platform/help_viewer.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

class Win32Services : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tarnwell-services-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(folder_ / "sub");
        std::ofstream(folder_ / "data.bin", std::ios::binary) << std::string(1234, 'x');
        std::ofstream(folder_ / "empty.txt", std::ios::binary);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string Path(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(Win32Services, SizeIsTheFileSizeOrZeroWhenItCannotBeRead) {
    auto queries = MakeFileQueries();
    queries->BeginBatch();
    EXPECT_EQ(queries->FactsOf(Path("data.bin")).size, 1234u);
    EXPECT_EQ(queries->FactsOf(Path("empty.txt")).size, 0u);
    EXPECT_EQ(queries->FactsOf(Path("missing.txt")).size, 0u);
    EXPECT_EQ(queries->FactsOf("").size, 0u);
}

TEST_F(Win32Services, OwnerIsDomainBackslashNameOrEmptyWhenItCannotBeRead) {
    auto queries = MakeFileQueries();
    queries->BeginBatch();
    // A watched folder with its trailing "\" is what an overflow asks about.
    for (const std::string& path : {Path("data.bin"), Path("sub"), folder_.string() + "\\"}) {
        SCOPED_TRACE(path);
        const std::string owner = queries->FactsOf(path).owner;
        const auto slash = owner.find('\\');
        ASSERT_NE(slash, std::string::npos) << owner;
        EXPECT_EQ(owner.find('\\', slash + 1), std::string::npos) << owner;
        EXPECT_LT(slash + 1, owner.size()) << "no account name: " << owner;
    }
    // Names that cannot exist: a missing file or folder, and "?" in a name.
    for (const std::string& path : {Path("missing.txt"), Path("missing\\a.txt"), Path("a?.txt")}) {
        EXPECT_EQ(queries->FactsOf(path).owner, "") << path;
    }
}

// The runner starts Wine with the C.UTF-8 locale, which Wine maps to United
// States English with code page 1252; that is what these texts are written in.
TEST(Win32SystemText, ConvertsToTheAnsiCodePageWithItsDefaultCharacter) {
    ASSERT_EQ(GetACP(), 1252u) << "the expectations below are in code page 1252";
    const auto text = MakeSystemText();
    struct Case {
        std::u16string utf16;
        std::string ansi;
    };
    for (const Case& c : {Case{u"sub\\a.txt", "sub\\a.txt"}, Case{u"caf\u00e9", "caf\xe9"},
                          Case{u"\u4e2d.txt", "?.txt"}, Case{u"", ""}}) {
        EXPECT_EQ(text->FromUtf16(c.utf16.data(), c.utf16.size()), c.ansi);
    }
    // Only the given code units count, not what follows them.
    const std::u16string longer = u"abcdef";
    EXPECT_EQ(text->FromUtf16(longer.data(), 3), "abc");
}

TEST(Win32SystemText, UpperCasesAccentedLettersOfTheCodePage) {
    ASSERT_EQ(GetACP(), 1252u);
    const auto text = MakeSystemText();
    std::string name = "sub\\caf\xe9.txt;1";
    text->ToUpper(name);
    EXPECT_EQ(name, "SUB\\CAF\xc9.TXT;1");
}

TEST(Win32RegionalSettings, ReadsUnitedStatesEnglishUnderTheTestLocale) {
    const RegionalSettings s = ReadRegionalSettings();
    EXPECT_EQ(s.shortDatePattern, "M/d/yyyy");
    EXPECT_EQ(s.dateSeparator, "/");
    EXPECT_EQ(s.timeSeparator, ":");
    EXPECT_FALSE(s.leadingZeroHours);
    EXPECT_TRUE(s.twelveHourClock);
    EXPECT_EQ(s.amDesignator, "AM");
    EXPECT_EQ(s.pmDesignator, "PM");
    EXPECT_FALSE(s.designatorFirst);
    EXPECT_EQ(DecimalSeparator(), ".");
}

// The C library's local time and GetLocalTime must agree on the fields, or a
// field went to the wrong place.
TEST(Win32RegionalSettings, LocalNowIsTheLocalClock) {
    const double now = ToDays(LocalNow());
    const std::time_t seconds = std::time(nullptr);
    const std::tm* local = std::localtime(&seconds);
    ASSERT_NE(local, nullptr);
    LocalDateTime expected;
    expected.year = local->tm_year + 1900;
    expected.month = local->tm_mon + 1;
    expected.day = local->tm_mday;
    expected.hour = local->tm_hour;
    expected.minute = local->tm_min;
    expected.second = local->tm_sec;
    EXPECT_LT(std::fabs(now - ToDays(expected)) * 86400.0, 2.0);
}

TEST_F(Win32Services, PathsAreWindowsPaths) {
    EXPECT_EQ(NativePathSyntax().delimiters, kWindowsPathSyntax.delimiters);
    EXPECT_EQ(NativePathSyntax().separator, '\\');
    EXPECT_TRUE(IsExistingDirectory(folder_.string().c_str()));
    EXPECT_TRUE(IsExistingDirectory(Path("sub").c_str()));
    EXPECT_FALSE(IsExistingDirectory(Path("data.bin").c_str()));
    EXPECT_FALSE(IsExistingDirectory(Path("missing").c_str()));
    EXPECT_FALSE(IsExistingDirectory(""));
    EXPECT_FALSE(IsExistingDirectory(nullptr));
}

// The watch shares the folder for reading and deleting only: work on its
// contents goes on, but nobody opens the folder itself for writing meanwhile.
TEST_F(Win32Services, AWatchedFolderCannotBeOpenedForWritingElsewhere) {
    FolderHandle watch = OpenDirectory(folder_.string());
    ASSERT_NE(watch, nullptr);
    const auto openFolder = [&](DWORD access) {
        return CreateFileA(folder_.string().c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    HANDLE writer = openFolder(GENERIC_WRITE);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    HANDLE reader = openFolder(GENERIC_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    EXPECT_TRUE(std::ofstream(folder_ / "inside.txt") << "still writable");
    CloseDirectory(watch);
}

// Wine registers its own HTML Help control, so the registry leads to a real
// library with a real HtmlHelpA.
TEST(Win32HelpViewer, FindsHtmlHelpThroughTheRegisteredControl) {
    EXPECT_NE(FindHelpViewer(), nullptr);
}

TEST(Win32HelpViewer, ExecutableFolderIsWhereThisProgramLies) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(fs::exists(folder + "win32_services_test.exe")) << folder;
}

}  // namespace
}  // namespace tarnwell
