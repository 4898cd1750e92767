// The program's stored settings in the current user's part of the registry,
// through the 8-bit registry functions.

#include "platform/user_registry.h"

#include <windows.h>

static_assert(tarnwell::kRegSz == REG_SZ);
static_assert(tarnwell::kRegExpandSz == REG_EXPAND_SZ);
static_assert(tarnwell::kRegBinary == REG_BINARY);
static_assert(tarnwell::kRegDword == REG_DWORD);

namespace tarnwell {
namespace {

class Win32UserRegistryKey final : public UserRegistryKey {
  public:
    explicit Win32UserRegistryKey(HKEY key) : key_(key) {}
    ~Win32UserRegistryKey() override { RegCloseKey(key_); }
    Win32UserRegistryKey(const Win32UserRegistryKey&) = delete;
    Win32UserRegistryKey& operator=(const Win32UserRegistryKey&) = delete;

    std::optional<RegistryData> QueryValue(const std::string& name) override {
        RegistryData data;
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        // Another program may grow the value between the two calls.
        for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
            data.bytes.assign(size, '\0');
            status = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.bytes.data()), &size);
            if (status == ERROR_SUCCESS) {
                data.bytes.resize(size);
                data.type = type;
                return data;
            }
            if (attempt == 3) break;
        }
        if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
        // A value that exists but cannot be read must not pass for a missing or
        // empty one (which a string read accepts): it is handed on as data of no
        // readable type, which every read refuses.
        return RegistryData{REG_NONE, std::string(1, '\0')};
    }

    bool SetDword(const std::string& name, std::uint32_t value) override {
        const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                               static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
        return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, bytes, sizeof bytes) ==
               ERROR_SUCCESS;
    }

    bool SetString(const std::string& name, const std::string& value) override {
        // The terminating zero is stored with the text, as readers expect.
        return RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

  private:
    HKEY key_;
};

}  // namespace

std::unique_ptr<UserRegistryKey> OpenUserKeyForRead(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32UserRegistryKey>(key);
}

std::unique_ptr<UserRegistryKey> CreateUserKeyForWrite(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32UserRegistryKey>(key);
}

}  // namespace tarnwell
