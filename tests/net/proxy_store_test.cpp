// Loading and saving the proxy settings against their real store, a REGEDIT4
// file under a temporary XDG_CONFIG_HOME.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/proxy_settings.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

class ProxyStore : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarnwell-proxy-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfig_ = old;
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    void TearDown() override {
        if (oldConfig_) {
            ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(root_);
    }

    fs::path StoreFile() const { return root_ / "Quillfern" / "ProxySettings.reg"; }

    void WriteStore(const std::string& text) {
        fs::create_directories(StoreFile().parent_path());
        std::ofstream(StoreFile(), std::ios::binary) << text;
    }

    // A store with the key's header and the given value lines.
    void WriteValues(const std::string& lines) {
        WriteStore("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n" + lines);
    }

    std::string ReadStore() const {
        std::ifstream in(StoreFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path root_;
    std::optional<std::string> oldConfig_;
};

// What a load starts from, distinct from the defaults and from every stored value.
const ProxySettings kBefore{5, "before.example", 3128, "before-user", "before-pw"};

// Every value but "ProxyEnabled", which the cases vary.
const std::string kAfterEnabled =
    "\"ProxyServer\"=\"proxy.example\"\n"
    "\"ProxyPort\"=dword:00000438\n"
    "\"ProxyUser\"=\"alice\"\n"
    "\"ProxyPassword\"=\"s3cret\"\n";
const std::string kAllValues = "\"ProxyEnabled\"=dword:00000001\n" + kAfterEnabled;

TEST_F(ProxyStore, DefaultsAndAMissingKeyChangeNothing) {
    EXPECT_EQ(ProxySettings{}, (ProxySettings{0, "", 0, "", ""}));
    ProxySettings settings = kBefore;
    LoadProxySettings(settings);
    EXPECT_EQ(settings, kBefore);
    EXPECT_FALSE(fs::exists(StoreFile()));  // a load never creates the key
}

TEST_F(ProxyStore, SaveWritesEveryValueWithItsTypeAndLoadReadsItBack) {
    const ProxySettings saved{1, "proxy \"quoted\" \\ back", -1, "alice", "pässwörd \"x\""};
    SaveProxySettings(saved);
    EXPECT_EQ(ReadStore(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n"
              "\"ProxyEnabled\"=dword:00000001\n"
              "\"ProxyServer\"=\"proxy \\\"quoted\\\" \\\\ back\"\n"
              "\"ProxyPort\"=dword:ffffffff\n"
              "\"ProxyUser\"=\"alice\"\n"
              "\"ProxyPassword\"=\"pässwörd \\\"x\\\"\"\n");
    struct stat st {};
    ASSERT_EQ(::stat(StoreFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // it holds the password in plain text

    ProxySettings loaded = kBefore;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, saved);

    // Saving again replaces every value; nothing is left over beside the file.
    const ProxySettings cleared{0, "", 0, "", ""};
    SaveProxySettings(cleared);
    loaded = kBefore;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, cleared);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(StoreFile().parent_path()), fs::directory_iterator()),
        1);
}

TEST_F(ProxyStore, TheFirstFailureStopsTheLoad) {
    struct Case {
        const char* name;
        std::string lines;
        ProxySettings expected;
    };
    const Case cases[] = {
        {"all five values", kAllValues, {1, "proxy.example", 1080, "alice", "s3cret"}},
        {"ProxyPort missing",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=\"proxy.example\"\n"
         "\"ProxyUser\"=\"alice\"\n\"ProxyPassword\"=\"s3cret\"\n",
         {1, "proxy.example", 3128, "before-user", "before-pw"}},
        {"ProxyServer missing: reads as empty",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyPort\"=dword:00000438\n"
         "\"ProxyUser\"=\"alice\"\n\"ProxyPassword\"=\"s3cret\"\n",
         {1, "", 1080, "alice", "s3cret"}},
        {"ProxyEnabled stored as a string", "\"ProxyEnabled\"=\"1\"\n" + kAfterEnabled, kBefore},
        {"ProxyEnabled stored as 7",
         "\"ProxyEnabled\"=dword:00000007\n" + kAfterEnabled,
         {7, "proxy.example", 1080, "alice", "s3cret"}},
        {"ProxyEnabled missing", kAfterEnabled, kBefore},
        {"ProxyPort stored as a string",
         "\"ProxyEnabled\"=dword:00000000\n\"ProxyServer\"=\"p\"\n\"ProxyPort\"=\"1080\"\n"
         "\"ProxyUser\"=\"alice\"\n",
         {0, "p", 3128, "before-user", "before-pw"}},
        {"ProxyServer stored as a number",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=dword:1\n",
         {1, "before.example", 3128, "before-user", "before-pw"}},
        {"ProxyPort longer than 4 bytes",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=\"p\"\n"
         "\"ProxyPort\"=hex(4):38,04,00,00,00,00,00,00\n\"ProxyUser\"=\"alice\"\n",
         {1, "p", 3128, "before-user", "before-pw"}},
        {"ProxyPort of 2 bytes",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=\"p\"\n\"ProxyPort\"=hex(4):38,04\n",
         {1, "p", 1080, "", ""}},
        {"empty strings and an expandable string taken as stored up to its zero byte",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=\"\"\n\"ProxyPort\"=dword:00000438\n"
         "\"ProxyUser\"=hex(2):25,55,25,00,6a,75,6e,6b,00\n\"ProxyPassword\"=hex(1):\n",
         {1, "", 1080, "%U%", ""}},
        {"a binary string fails, an empty binary reads as empty",
         "\"ProxyEnabled\"=dword:00000001\n\"ProxyServer\"=hex:\n\"ProxyPort\"=dword:00000438\n"
         "\"ProxyUser\"=hex:61,62\n\"ProxyPassword\"=\"s3cret\"\n",
         {1, "", 1080, "before-user", "before-pw"}},
        {"names in other capitals",
         "\"proxyenabled\"=dword:00000001\n\"PROXYSERVER\"=\"p\"\n",
         {1, "p", 3128, "before-user", "before-pw"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteValues(c.lines);
        ProxySettings settings = kBefore;
        LoadProxySettings(settings);
        EXPECT_EQ(settings.ProxyEnabled, c.expected.ProxyEnabled);
        EXPECT_EQ(settings.ProxyServer, c.expected.ProxyServer);
        EXPECT_EQ(settings.ProxyPort, c.expected.ProxyPort);
        EXPECT_EQ(settings.ProxyUser, c.expected.ProxyUser);
        EXPECT_EQ(settings.ProxyPassword, c.expected.ProxyPassword);
    }
}

TEST_F(ProxyStore, AStoreThatIsNotValidCountsAsMissing) {
    const std::string header =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillfern\\ProxySettings]\n";
    const std::string stores[] = {
        "",
        "garbage\x01\x02",
        kAllValues,                 // no REGEDIT4 line
        "REGEDIT4\n" + kAllValues,  // no key
        header + "\"ProxyEnabled\"=dword:1\n\"ProxyServer\"=\"unterminated\n",
        header + "\"ProxyEnabled\"=dword:123456789\n",  // nine digits
        header + "\"ProxyServer\"=\"bad \\n escape\"\n",
        header + "\"ProxyEnabled\"=dword:00000001\n" + header,  // a second key
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n" + kAllValues,
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillfern\\ProxySettings]\n" + kAllValues,
    };
    for (const std::string& store : stores) {
        SCOPED_TRACE(store);
        WriteStore(store);
        ProxySettings settings = kBefore;
        LoadProxySettings(settings);
        EXPECT_EQ(settings, kBefore);
    }
}

TEST_F(ProxyStore, SavingOverAnInvalidStoreKeepsTheOldFileAside) {
    WriteStore("REGEDIT4\n[broken");
    const ProxySettings saved{1, "p", 1080, "u", "pw"};
    SaveProxySettings(saved);
    ProxySettings loaded;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, saved);
    std::ifstream aside(StoreFile().string() + ".bad", std::ios::binary);
    std::stringstream text;
    text << aside.rdbuf();
    EXPECT_EQ(text.str(), "REGEDIT4\n[broken");
}

TEST_F(ProxyStore, SaveReplacesEachValueWhateverItsTypeAndKeepsOthers) {
    WriteValues("\"ProxyEnabled\"=\"yes\"\n\"ProxyPort\"=hex:01\n\"Other\"=hex(2):41,00\n");
    const ProxySettings saved{1, "p", 1080, "u", "pw"};
    SaveProxySettings(saved);
    const std::string text = ReadStore();
    EXPECT_NE(text.find("\"ProxyEnabled\"=dword:00000001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"ProxyPort\"=dword:00000438\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Other\"=hex(2):41,00\n"), std::string::npos) << text;
    ProxySettings loaded;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, saved);
}

TEST_F(ProxyStore, APasswordWithALineBreakSurvives) {
    // The quoted form cannot hold a line break; the value is stored in its hex
    // form instead, so the file stays readable and the password whole.
    const ProxySettings saved{1, "p", 1080, "u", "line1\nline2\r"};
    SaveProxySettings(saved);
    ProxySettings loaded;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, saved);
}

TEST_F(ProxyStore, ASaveThatCannotBeStoredIsSilent) {
    // The configuration folder is a file: nothing can be created below it.
    std::ofstream(root_ / "not-a-folder") << "x";
    ::setenv("XDG_CONFIG_HOME", (root_ / "not-a-folder").c_str(), 1);
    const ProxySettings saved{1, "p", 1080, "u", "pw"};
    SaveProxySettings(saved);
    ProxySettings loaded = kBefore;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, kBefore);
}

}  // namespace
}  // namespace tarnwell
