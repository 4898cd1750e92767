#include "net/http_request.h"

#include <cctype>

namespace tarnwell {

namespace {

constexpr char kScheme[] = "http://";
constexpr std::size_t kSchemeLength = sizeof kScheme - 1;

bool StartsWithScheme(const std::string& url) {
    if (url.size() < kSchemeLength) return false;
    for (std::size_t i = 0; i < kSchemeLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
    }
    return true;
}

// Control characters and spaces in the host or the path would end up in the
// request's lines and in the proxy's CONNECT.
bool HasSpaceOrControl(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return true;
    }
    return false;
}

// "host", "host:port", "[v6]" or "[v6]:port" into the host and the port's text.
bool SplitAuthority(const std::string& authority, HttpUrl& url, std::string& portText) {
    if (authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos || close == 1) return false;
        url.host = authority.substr(1, close - 1);
        const std::string rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            portText = rest.substr(1);
            url.explicitPort = true;
        }
        return true;
    }
    const std::size_t colon = authority.find(':');
    url.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        portText = authority.substr(colon + 1);
        url.explicitPort = true;
    }
    return true;
}

// One to five decimal digits naming a port from 1 to 65535.
bool ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(const std::string& url) {
    if (!StartsWithScheme(url)) return std::nullopt;
    std::size_t end = url.find_first_of("/?#", kSchemeLength);
    if (end == std::string::npos) end = url.size();
    const std::string authority = url.substr(kSchemeLength, end - kSchemeLength);
    if (authority.empty() || authority.find('@') != std::string::npos) return std::nullopt;

    HttpUrl result;
    std::string portText;
    if (!SplitAuthority(authority, result, portText)) return std::nullopt;
    if (result.host.empty() || HasSpaceOrControl(result.host)) return std::nullopt;
    if (result.explicitPort && !ParsePort(portText, result.port)) return std::nullopt;

    std::string target = url.substr(end);
    const std::size_t hash = target.find('#');
    if (hash != std::string::npos) target.erase(hash);
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    if (HasSpaceOrControl(target)) return std::nullopt;
    result.target = target;
    return result;
}

std::string HostWithPort(const std::string& host, std::uint16_t port) {
    std::string text = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (port != 80) text += ":" + std::to_string(port);
    return text;
}

std::string HostHeaderValue(const HttpUrl& url) {
    return HostWithPort(url.host, url.port);
}

std::string BuildGetRequest(const HttpUrl& url) {
    std::string request = "GET " + url.target + " HTTP/1.1\r\n";
    request += "Host: " + HostHeaderValue(url) + "\r\n";
    request += "Accept: text/html, */*\r\n";
    request += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    request += "\r\n";
    return request;
}

}  // namespace tarnwell
