#include "net/proxy_settings.h"

#include <memory>

#include "platform/hex_digit.h"
#include "platform/user_registry.h"

namespace tarnwell {
namespace {

bool ReadInteger(UserRegistryKey* key, const char* name, std::int32_t& field) {
    if (key == nullptr) return false;
    std::optional<RegistryData> data = key->QueryValue(name);
    if (!data || data->type != kRegDword || data->bytes.size() > 4) return false;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < data->bytes.size(); ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data->bytes[i])) << (8 * i);
    }
    field = static_cast<std::int32_t>(value);
    return true;
}

bool ReadString(UserRegistryKey* key, const char* name, std::string& field) {
    if (key == nullptr) return false;
    std::optional<RegistryData> data = key->QueryValue(name);
    if (!data || data->bytes.empty()) {
        field.clear();
        return true;
    }
    if (data->type != kRegSz && data->type != kRegExpandSz) return false;
    // Taken as stored: an expandable string is not expanded.
    field = data->bytes.substr(0, data->bytes.find('\0'));
    return true;
}

struct NumberStart {
    bool hex = false;
    bool negative = false;
};

// Skips leading spaces, then reads a hex prefix ("$", "x", "X", "0x", "0X") or
// a sign; `i` ends after them.
NumberStart ReadNumberStart(const std::string& text, std::size_t& i) {
    NumberStart start;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        start.hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        start.hex = true;
        i += 2;
    } else if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        start.negative = text[i] == '-';
        ++i;
    }
    return start;
}

struct Digits {
    std::int64_t value = 0;
    std::size_t count = 0;
    bool overflow = false;  // the value went beyond `limit`; it stopped growing there
};

// Reads digits from `i` on up to the first character that is not one; `i`
// ends there.
Digits ReadDigits(const std::string& text, std::size_t& i, bool hex, std::int64_t limit) {
    const std::int64_t base = hex ? 16 : 10;
    Digits digits;
    for (; i < text.size(); ++i) {
        const int d =
            hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) break;
        ++digits.count;
        if (!digits.overflow) {
            digits.value = digits.value * base + d;
            if (digits.value > limit) digits.overflow = true;
        }
    }
    return digits;
}

}  // namespace

void LoadProxySettings(ProxySettings& settings) {
    std::unique_ptr<UserRegistryKey> key = OpenUserKeyForRead(kProxySettingsKey);
    // A key that could not be opened fails at the first value, so nothing changes.
    (void)(ReadInteger(key.get(), "ProxyEnabled", settings.ProxyEnabled) &&
           ReadString(key.get(), "ProxyServer", settings.ProxyServer) &&
           ReadInteger(key.get(), "ProxyPort", settings.ProxyPort) &&
           ReadString(key.get(), "ProxyUser", settings.ProxyUser) &&
           ReadString(key.get(), "ProxyPassword", settings.ProxyPassword));
}

void SaveProxySettings(const ProxySettings& settings) {
    std::unique_ptr<UserRegistryKey> key = CreateUserKeyForWrite(kProxySettingsKey);
    if (!key) return;
    (void)(key->SetDword("ProxyEnabled", static_cast<std::uint32_t>(settings.ProxyEnabled)) &&
           key->SetString("ProxyServer", settings.ProxyServer) &&
           key->SetDword("ProxyPort", static_cast<std::uint32_t>(settings.ProxyPort)) &&
           key->SetString("ProxyUser", settings.ProxyUser) &&
           key->SetString("ProxyPassword", settings.ProxyPassword));
}

std::int32_t ConvertPort(const std::string& text) {
    std::size_t i = 0;
    const NumberStart start = ReadNumberStart(text, i);
    const Digits digits =
        ReadDigits(text, i, start.hex, start.negative ? 2147483648LL : 2147483647LL);
    if (digits.overflow) return 0;
    const bool whole = i == text.size() && digits.count > 0;
    if (whole && start.negative) return static_cast<std::int32_t>(-digits.value);
    // A text cut short keeps its digits but loses its sign ("-80a" is 80); the
    // one value that only fits with the sign then does not fit at all.
    if (digits.value > 2147483647LL) return 0;
    return static_cast<std::int32_t>(digits.value);
}

std::optional<Socks5Proxy> ProxyFor(const ProxySettings& settings) {
    if (settings.ProxyEnabled == 0) return std::nullopt;
    return Socks5Proxy{settings.ProxyServer, settings.ProxyPort, settings.ProxyUser,
                       settings.ProxyPassword};
}

}  // namespace tarnwell
