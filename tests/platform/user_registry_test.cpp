// The Linux user registry: one REGEDIT4 file holding the program's one key.

#include "platform/user_registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <sstream>
#include <string>

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr char kKey[] = "Software\\Quillfern\\ProxySettings";

class UserRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarnwell-registry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        fs::remove_all(root_);
    }

    fs::path Folder() const { return root_ / "Quillfern"; }
    fs::path File() const { return Folder() / "ProxySettings.reg"; }

    void Write(const std::string& text) {
        fs::create_directories(Folder());
        std::ofstream(File(), std::ios::binary) << text;
    }
    std::string Read(const fs::path& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path root_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(UserRegistry, AMissingFileIsAMissingKey) {
    EXPECT_EQ(OpenUserKeyForRead(kKey), nullptr);
    auto key = CreateUserKeyForWrite(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->QueryValue("ProxyEnabled"));
    // Creating the key stores nothing until a value is written.
    EXPECT_FALSE(fs::exists(File()));
}

TEST_F(UserRegistry, ValuesKeepTheirTypesAndBytes) {
    const std::string strings[] = {
        "plain", "", "back\\slash \"quotes\"", "ümlaut", "line\nbreak\r", "zero\0inside"s,
    };
    {
        auto key = CreateUserKeyForWrite(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->SetDword("Number", 0x0000000a));
        ASSERT_TRUE(key->SetDword("Big", 0xfffffffe));
        for (std::size_t i = 0; i < std::size(strings); ++i) {
            ASSERT_TRUE(key->SetString("S" + std::to_string(i), strings[i]));
        }
        ASSERT_TRUE(key->SetString("Number", "now a string"));  // replaces whatever type it had
    }
    auto key = OpenUserKeyForRead(kKey);
    ASSERT_NE(key, nullptr);
    auto number = key->QueryValue("Number");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->type, kRegSz);
    EXPECT_EQ(number->bytes, "now a string\0"s);
    auto big = key->QueryValue("big");  // names ignore case, as in the registry
    ASSERT_TRUE(big);
    EXPECT_EQ(big->type, kRegDword);
    EXPECT_EQ(big->bytes, "\xfe\xff\xff\xff"s);
    for (std::size_t i = 0; i < std::size(strings); ++i) {
        auto s = key->QueryValue("S" + std::to_string(i));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->type, kRegSz);
        EXPECT_EQ(s->bytes, strings[i] + '\0');
    }
    EXPECT_FALSE(key->QueryValue("Missing"));

    const std::string text = Read(File());
    EXPECT_EQ(
        text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n", 0), 0u);
    EXPECT_NE(text.find("\"Big\"=dword:fffffffe\n"), std::string::npos);
    EXPECT_NE(text.find("\"S2\"=\"back\\\\slash \\\"quotes\\\"\"\n"), std::string::npos);
    // What the quoted form cannot hold is written in the hex form of its type.
    EXPECT_NE(text.find("\"S4\"=hex(1):6c,69,6e,65,0a,62,72,65,61,6b,0d,00\n"), std::string::npos);
}

TEST_F(UserRegistry, TheFileIsTheOwnersAloneAndReplacedWhole) {
    {
        auto key = CreateUserKeyForWrite(kKey);
        ASSERT_NE(key, nullptr);
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(key->SetDword("V" + std::to_string(i), i));
    }
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // No temporary file is left beside it.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder()))
        names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"ProxySettings.reg"});

    // A file that was readable by others is replaced by one that is not.
    fs::permissions(File(), fs::perms(0644));
    auto key = CreateUserKeyForWrite(kKey);
    ASSERT_TRUE(key->SetDword("V0", 9));
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(UserRegistry, AKeyPathOtherThanTheStoredOneIsMissing) {
    Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=dword:1\n");
    EXPECT_EQ(OpenUserKeyForRead("Software\\Quillfern\\Other"), nullptr);
    EXPECT_EQ(OpenUserKeyForRead("Software\\Quillfern"), nullptr);
    EXPECT_EQ(CreateUserKeyForWrite("Software\\Other"), nullptr);
    EXPECT_NE(OpenUserKeyForRead("SOFTWARE\\quillfern\\proxysettings"), nullptr);

    Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\Other]\n\"A\"=dword:1\n");
    EXPECT_EQ(OpenUserKeyForRead(kKey), nullptr);
}

TEST_F(UserRegistry, ReadsFilesWrittenByHand) {
    // Windows line ends, a byte-order mark, comments, the default value, short
    // DWORDs, other types, and hex data continued over several lines.
    Write(
        "\xEF\xBB\xBFREGEDIT4\r\n\r\n; settings\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\r\n"
        "@=\"default\"\r\n"
        "\"Short\"=dword:a\r\n"
        "\"Expand\"=hex(2):25,50,25,00\r\n"
        "\"Binary\"=hex:01,02,\\\r\n  03,04\r\n"
        "\"Odd\"=hex(7):61,00,00\r\n"
        "\"Dup\"=\"first\"\r\n"
        "\"Dup\"=\"second\"\r\n");
    {
        auto key = OpenUserKeyForRead(kKey);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->QueryValue("")->bytes, "default\0"s);
        EXPECT_EQ(key->QueryValue("Short")->bytes, "\x0a\0\0\0"s);
        EXPECT_EQ(key->QueryValue("Expand")->type, kRegExpandSz);
        EXPECT_EQ(key->QueryValue("Expand")->bytes, "%P%\0"s);
        EXPECT_EQ(key->QueryValue("Binary")->type, kRegBinary);
        EXPECT_EQ(key->QueryValue("Binary")->bytes, "\x01\x02\x03\x04"s);
        EXPECT_EQ(key->QueryValue("Odd")->type, 7u);
        EXPECT_EQ(key->QueryValue("Dup")->bytes, "second\0"s);
    }
    // Writing one value keeps every other value as it was.
    ASSERT_TRUE(CreateUserKeyForWrite(kKey)->SetDword("New", 1));
    auto key = OpenUserKeyForRead(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryValue("")->bytes, "default\0"s);
    EXPECT_EQ(key->QueryValue("Expand")->type, kRegExpandSz);
    EXPECT_EQ(key->QueryValue("Binary")->bytes, "\x01\x02\x03\x04"s);
    EXPECT_EQ(key->QueryValue("Odd")->bytes, "a\0\0"s);
    EXPECT_EQ(key->QueryValue("New")->type, kRegDword);
}

TEST_F(UserRegistry, AFileThatCannotBeParsedIsMissingAndKeptAside) {
    const std::string broken[] = {
        "not a registry file",
        "REGEDIT4\n\"A\"=dword:1\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=dwrd:1\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=hex:1,2\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=\"x\" trailing\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A=dword:1\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n; big\n" +
            std::string(1100 * 1024, ';'),
    };
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 120));
        Write(text);
        EXPECT_EQ(OpenUserKeyForRead(kKey), nullptr);
        auto key = CreateUserKeyForWrite(kKey);
        ASSERT_NE(key, nullptr);
        EXPECT_FALSE(key->QueryValue("A"));
        ASSERT_TRUE(key->SetDword("A", 1));
        EXPECT_NE(OpenUserKeyForRead(kKey), nullptr);
    }
    // Each kept file has a name of its own: none overwrote an earlier one.
    for (std::size_t i = 0; i < std::size(broken); ++i) {
        const std::string kept = i == 0 ? "ProxySettings.reg.bad"
                                        : "ProxySettings.reg." + std::to_string(i + 1) + ".bad";
        SCOPED_TRACE(kept);
        EXPECT_EQ(Read(Folder() / kept), broken[i]);
    }
}

// The registry editor reads its files with white space around the lines.
TEST_F(UserRegistry, WhiteSpaceAroundLinesIsTolerated) {
    Write(
        "REGEDIT4 \n\n  [HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\t\r\n"
        "  \"A\"=dword:00000001  \n"
        "\t\"B\"=\" spaced \"\t\n"
        "   \"C\"=hex:01,\\  \n    02  \n"
        "  ; an indented comment\n");
    auto key = OpenUserKeyForRead(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryValue("A")->bytes, "\x01\0\0\0"s);
    EXPECT_EQ(key->QueryValue("B")->bytes, " spaced \0"s);  // inside the quotes it stays
    EXPECT_EQ(key->QueryValue("C")->bytes, "\x01\x02"s);
    ASSERT_TRUE(CreateUserKeyForWrite(kKey)->SetDword("D", 4));
    EXPECT_FALSE(fs::exists(File().string() + ".bad"));
}

// Only a regular file is read, and opening never waits: a FIFO at the path
// would otherwise hold the caller until some writer came.
TEST_F(UserRegistry, WhatIsNotARegularFileIsNeverWaitedForAndKeptAside) {
    struct Case {
        const char* name;
        std::function<void()> make;
        bool keptAside;
    };
    const fs::path elsewhere = root_ / "elsewhere";
    const Case cases[] = {
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0); }, true},
        {"a folder", [&] { fs::create_directory(File()); }, true},
        {"a link to a FIFO",
         [&] {
             ASSERT_EQ(::mkfifo(elsewhere.c_str(), 0600), 0);
             fs::create_symlink(elsewhere, File());
         },
         true},
        {"a dangling link", [&] { fs::create_symlink(root_ / "nowhere", File()); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Folder());
        fs::remove(elsewhere);
        fs::create_directories(Folder());
        c.make();
        auto read =
            std::async(std::launch::async, [] { return OpenUserKeyForRead(kKey) == nullptr; });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Let the stuck open go, so the test ends with a failure, not a hang.
            const int writer = ::open(File().c_str(), O_WRONLY | O_NONBLOCK);
            ADD_FAILURE() << "opening the store waited for a writer";
            read.wait();
            if (writer >= 0) ::close(writer);
            continue;
        }
        EXPECT_TRUE(read.get());
        ASSERT_TRUE(CreateUserKeyForWrite(kKey)->SetDword("A", 1));
        EXPECT_NE(OpenUserKeyForRead(kKey), nullptr);
        EXPECT_EQ(fs::exists(fs::symlink_status(File().string() + ".bad")), c.keptAside);
    }
}

TEST_F(UserRegistry, ALinkToAFileIsRead) {
    const fs::path target = root_ / "dotfiles.reg";
    std::ofstream(target, std::ios::binary)
        << "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=dword:7\n";
    fs::create_directories(Folder());
    fs::create_symlink(target, File());
    auto key = OpenUserKeyForRead(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryValue("A")->bytes, "\x07\0\0\0"s);
}

// Root reads a file of mode 000 all the same; the case runs as an ordinary
// user then, in a child process.
TEST_F(UserRegistry, AnUnreadableFileIsMissingAndKeptAside) {
    const std::string text =
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n\"A\"=dword:7\n";
    Write(text);
    fs::permissions(File(), fs::perms::none);
    const uid_t nobody = 65534;
    if (::geteuid() == 0) {
        for (const fs::path& p : {root_, Folder(), File()})
            ASSERT_EQ(::chown(p.c_str(), nobody, nobody), 0);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(2);
        if (OpenUserKeyForRead(kKey) != nullptr) ::_exit(3);
        auto key = CreateUserKeyForWrite(kKey);
        if (!key || key->QueryValue("A") || !key->SetDword("B", 1)) ::_exit(4);
        if (OpenUserKeyForRead(kKey) == nullptr) ::_exit(5);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    fs::permissions(File().string() + ".bad", fs::perms::owner_read);
    EXPECT_EQ(Read(File().string() + ".bad"), text);
}

TEST_F(UserRegistry, TheConfigurationFolderFallsBackToHome) {
    ::setenv("HOME", root_.c_str(), 1);
    for (bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative XDG_CONFIG_HOME is ignored" : "unset");
        if (relative) {
            ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        ASSERT_TRUE(CreateUserKeyForWrite(kKey)->SetDword("A", 1));
        EXPECT_TRUE(fs::exists(root_ / ".config" / "Quillfern" / "ProxySettings.reg"));
        // Folders it makes are the owner's alone.
        for (const fs::path& folder : {root_ / ".config", root_ / ".config" / "Quillfern"}) {
            struct stat st {};
            ASSERT_EQ(::stat(folder.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
        }
        EXPECT_FALSE(fs::exists("relative"));
        fs::remove_all(root_ / ".config");
    }
}

TEST_F(UserRegistry, AWriteThatFailsSaysSo) {
    auto key = CreateUserKeyForWrite(kKey);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->SetDword("A", 1));
    fs::remove_all(Folder());
    EXPECT_FALSE(key->SetDword("B", 2));

    // A folder that cannot be made: the key cannot be created at all.
    std::ofstream(root_ / "file") << "x";
    ::setenv("XDG_CONFIG_HOME", (root_ / "file").c_str(), 1);
    EXPECT_EQ(CreateUserKeyForWrite(kKey), nullptr);
}

}  // namespace
}  // namespace tarnwell
