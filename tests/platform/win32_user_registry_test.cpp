// The stored settings in the current user's registry, under Wine, in a key of
// the test's own that it removes again.

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/user_registry.h"

namespace tarnwell {
namespace {

class Win32UserRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = "Software\\Quillfern\\TarnwellTest" + std::to_string(GetCurrentProcessId());
        path_ = root_ + "\\Nested\\ProxySettings";
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str()); }

    // Values of types this program never writes, as another program might.
    void SetRaw(const char* name, DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    std::string root_;
    std::string path_;
};

using Value = std::pair<std::uint32_t, std::string>;  // type, bytes

std::optional<Value> Query(UserRegistryKey& key, const char* name) {
    const auto data = key.QueryValue(name);
    if (!data) return std::nullopt;
    return Value{data->type, data->bytes};
}

TEST_F(Win32UserRegistry, AMissingKeyIsNotCreatedByReading) {
    EXPECT_EQ(OpenUserKeyForRead(path_), nullptr);
    EXPECT_EQ(OpenUserKeyForRead(path_), nullptr);
}

TEST_F(Win32UserRegistry, ValuesComeBackWithTheirTypesAndTheStringsZero) {
    {
        auto key = CreateUserKeyForWrite(path_);  // every missing key on the path
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->SetDword("ProxyEnabled", 1));
        EXPECT_TRUE(key->SetString("ProxyServer", "proxy.example"));
        EXPECT_TRUE(key->SetDword("ProxyPort", 0xFFFFFFFFu));
        EXPECT_TRUE(key->SetString("ProxyUser", ""));
        EXPECT_TRUE(key->SetString("ProxyPassword", "p\xe4ss, \"word\""));
    }
    auto key = OpenUserKeyForRead(path_);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Query(*key, "ProxyEnabled"), Value(kRegDword, std::string("\1\0\0\0", 4)));
    EXPECT_EQ(Query(*key, "ProxyServer"), Value(kRegSz, std::string("proxy.example\0", 14)));
    EXPECT_EQ(Query(*key, "ProxyPort"), Value(kRegDword, "\xff\xff\xff\xff"));
    EXPECT_EQ(Query(*key, "ProxyUser"), Value(kRegSz, std::string(1, '\0')));
    EXPECT_EQ(Query(*key, "ProxyPassword"), Value(kRegSz, std::string("p\xe4ss, \"word\"\0", 13)));
    EXPECT_EQ(Query(*key, "Missing"), std::nullopt);
}

// A load stops at a string where a number is expected; that rule needs the
// type as stored, so a write replaces the type along with the data.
TEST_F(Win32UserRegistry, AWriteReplacesTheTypeTheValueHad) {
    auto writer = CreateUserKeyForWrite(path_);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->SetString("ProxyEnabled", "1"));
    EXPECT_EQ(Query(*OpenUserKeyForRead(path_), "ProxyEnabled"),
              Value(kRegSz, std::string("1\0", 2)));

    ASSERT_TRUE(writer->SetDword("ProxyEnabled", 7));
    EXPECT_EQ(Query(*OpenUserKeyForRead(path_), "ProxyEnabled"),
              Value(kRegDword, std::string("\7\0\0\0", 4)));
}

TEST_F(Win32UserRegistry, ForeignTypesAndSizesArePassedOnAsStored) {
    SetRaw("Expandable", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9));
    SetRaw("Binary", REG_BINARY, std::string("\1\2\3", 3));
    SetRaw("Wide", REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8));
    SetRaw("Nothing", REG_SZ, "");
    auto key = OpenUserKeyForRead(path_);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Query(*key, "Expandable"), Value(kRegExpandSz, std::string("%TEMP%\\x\0", 9)));
    EXPECT_EQ(Query(*key, "Binary"), Value(kRegBinary, "\1\2\3"));
    EXPECT_EQ(Query(*key, "Wide"), Value(REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8)));
    EXPECT_EQ(Query(*key, "Nothing"), Value(kRegSz, ""));
}

}  // namespace
}  // namespace tarnwell
