// The Linux user registry: one REGEDIT4 file holding the program's one key.

#include "platform/user_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    EXPECT_EQ(st.st_mode & 0077, 0u);
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
        EXPECT_EQ(Read(File().string() + ".bad"), text);
    }
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
