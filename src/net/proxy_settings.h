#pragma once
// The proxy settings of the update check and their store under the current
// user's key "Software\Quillfern\ProxySettings". Loading and saving are silent
// by design: a missing key or a mistyped value stops the load and keeps what the
// record held; a failed write stops the save. User-interface thread only.

#include <cstdint>
#include <optional>
#include <string>

#include "net/socks5.h"
#include "platform/user_registry.h"  // kProxySettingsKey

namespace tarnwell {

struct ProxySettings {
    std::int32_t ProxyEnabled = 0;  // any value but 0 means on
    std::string ProxyServer;
    std::int32_t ProxyPort = 0;  // not range-checked here
    std::string ProxyUser;
    std::string ProxyPassword;  // plain text, in memory and in the store

    bool operator==(const ProxySettings&) const = default;
};

// Reads ProxyEnabled, ProxyServer, ProxyPort, ProxyUser and ProxyPassword in
// this order, each into its field as soon as it is read. The first failure ends
// the load; the fields after it keep their values.
void LoadProxySettings(ProxySettings& settings);

// Writes the five values in the same order, creating the key when missing. The
// first failed write ends the save; what was written before it stays.
void SaveProxySettings(const ProxySettings& settings);

// The port text of the settings dialog as a number; never fails. Leading spaces
// are skipped; "$", "x", "X", "0x" or "0X" start an unsigned hexadecimal number,
// anything else an optionally signed decimal one. A text that is used up whole
// gives its number; otherwise the digits before the first character that does
// not fit give the port, without the sign (0 when there are none). A number
// beyond the 32-bit signed range gives 0 rather than a wrapped value that might
// name some other, real port.
std::int32_t ConvertPort(const std::string& text);

// The proxy the update check uses: the SOCKS5 proxy of the settings when
// ProxyEnabled is not 0, else none.
std::optional<Socks5Proxy> ProxyFor(const ProxySettings& settings);

}  // namespace tarnwell
