// The proxy settings against the real registry under Wine: what a load makes
// of the values another program (or an older version) left in the key.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "net/proxy_settings.h"

namespace tarnwell {

// gtest finds it beside the type it prints.
void PrintTo(const ProxySettings& s, std::ostream* os) {
    *os << "{" << s.ProxyEnabled << ", " << s.ProxyServer << ", " << s.ProxyPort << ", "
        << s.ProxyUser << ", " << s.ProxyPassword << "}";
}

namespace {

struct RawValue {
    const char* name;
    DWORD type;
    std::string bytes;
};

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}
std::string Sz(const std::string& text) {
    return text + '\0';
}

// The prefix belongs to the test run, so the program's own key is used; it
// is removed before and after every test.
class Win32ProxyStore : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kProxySettingsKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kProxySettingsKey); }

    void Store(const std::vector<RawValue>& values) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProxySettingsKey, 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const RawValue& v : values) {
            EXPECT_EQ(RegSetValueExA(key, v.name, 0, v.type,
                                     reinterpret_cast<const BYTE*>(v.bytes.data()),
                                     static_cast<DWORD>(v.bytes.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }

    RawValue Stored(const char* name) {
        DWORD type = 0;
        char data[256] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kProxySettingsKey, name, RRF_RT_ANY, &type, data,
                               &size),
                  ERROR_SUCCESS);
        return {name, type, std::string(data, size)};
    }
};

TEST_F(Win32ProxyStore, SavedSettingsLoadBackWithTheStoredTypes) {
    const ProxySettings saved{1, "proxy.example", 1080, "user", "pa\xdf word"};
    SaveProxySettings(saved);
    ProxySettings loaded;
    LoadProxySettings(loaded);
    EXPECT_EQ(loaded, saved);

    const RawValue password = Stored("ProxyPassword");
    EXPECT_EQ(password.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(password.bytes, Sz("pa\xdf word"));  // plain text, with its zero
    EXPECT_EQ(Stored("ProxyPort").type, static_cast<DWORD>(REG_DWORD));
}

struct LoadCase {
    const char* name;
    std::vector<RawValue> stored;  // nothing at all: no key
    ProxySettings expected;        // loaded over kBefore
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

const ProxySettings kBefore{0, "old.host", 9, "old user", "old password"};

class Win32ProxyLoad : public Win32ProxyStore, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Win32ProxyLoad, StopsAtTheFirstValueItCannotReadAndKeepsTheRest) {
    if (!GetParam().stored.empty()) Store(GetParam().stored);
    ProxySettings settings = kBefore;
    LoadProxySettings(settings);
    EXPECT_EQ(settings, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Win32, Win32ProxyLoad,
    ::testing::Values(LoadCase{"NoKey", {}, kBefore},
                      LoadCase{"EnabledStoredAsAString",
                               {{"ProxyEnabled", REG_SZ, Sz("1")},
                                {"ProxyServer", REG_SZ, Sz("new.host")},
                                {"ProxyPort", REG_DWORD, Dword(1080)}},
                               kBefore},
                      LoadCase{"PortMissing",
                               {{"ProxyEnabled", REG_DWORD, Dword(7)},
                                {"ProxyServer", REG_SZ, Sz("new.host")},
                                {"ProxyUser", REG_SZ, Sz("new user")}},
                               {7, "new.host", 9, "old user", "old password"}},
                      LoadCase{"ServerMissingReadsAsEmpty",
                               {{"ProxyEnabled", REG_DWORD, Dword(1)},
                                {"ProxyPort", REG_DWORD, Dword(0xFFFFFFFF)},
                                {"ProxyUser", REG_EXPAND_SZ, Sz("%USERNAME%")},
                                {"ProxyPassword", REG_SZ, ""}},
                               {1, "", -1, "%USERNAME%", ""}},
                      LoadCase{"PortLongerThanADword",
                               {{"ProxyEnabled", REG_DWORD, Dword(1)},
                                {"ProxyServer", REG_SZ, Sz("new.host")},
                                {"ProxyPort", REG_QWORD, std::string("\x38\x04\0\0\0\0\0\0", 8)}},
                               {1, "new.host", 9, "old user", "old password"}},
                      LoadCase{"UserOfAnotherType",
                               {{"ProxyEnabled", REG_DWORD, Dword(0)},
                                {"ProxyServer", REG_SZ, Sz("new.host")},
                                {"ProxyPort", REG_DWORD, Dword(1080)},
                                {"ProxyUser", REG_BINARY, "\1\2"}},
                               {0, "new.host", 1080, "old user", "old password"}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tarnwell
