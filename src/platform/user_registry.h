#pragma once
// The current user's registry key of the program's stored settings: the
// registry on Windows, a REGEDIT4 text file under the user's configuration
// folder elsewhere. Value types survive, so the read rules of the callers hold.
// User-interface thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tarnwell {

// The one key the program stores: the update check's proxy settings. The
// Linux store has room for this key only.
inline constexpr char kProxySettingsKey[] = "Software\\Quillfern\\ProxySettings";

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryData {
    std::uint32_t type = 0;  // REG_* code
    // Raw data: 4 little-endian bytes for a DWORD, text and its zero byte for a string.
    std::string bytes;
};

class UserRegistryKey {
  public:
    virtual ~UserRegistryKey() = default;  // closes the key
    // nullopt: the value does not exist.
    virtual std::optional<RegistryData> QueryValue(const std::string& name) = 0;
    // Replace the value whatever type it had; false when it could not be stored.
    virtual bool SetDword(const std::string& name, std::uint32_t value) = 0;
    virtual bool SetString(const std::string& name, const std::string& value) = 0;
};

// `path` is relative to HKEY_CURRENT_USER, parts separated by "\".
// Opens an existing key for reading (KEY_READ); nullptr when it cannot be opened.
std::unique_ptr<UserRegistryKey> OpenUserKeyForRead(const std::string& path);
// Opens the key for writing (KEY_WRITE), creating it and every missing key on
// its path; nullptr when that fails.
std::unique_ptr<UserRegistryKey> CreateUserKeyForWrite(const std::string& path);

}  // namespace tarnwell
