#include "net/http_request.h"

#include <cctype>

namespace tarnwell {

std::optional<HttpUrl> ParseHttpUrl(const std::string& url) {
    static constexpr char kScheme[] = "http://";
    constexpr std::size_t kSchemeLength = sizeof kScheme - 1;
    if (url.size() < kSchemeLength) return std::nullopt;
    for (std::size_t i = 0; i < kSchemeLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return std::nullopt;
    }
    std::size_t end = url.find_first_of("/?#", kSchemeLength);
    if (end == std::string::npos) end = url.size();
    std::string authority = url.substr(kSchemeLength, end - kSchemeLength);
    if (authority.empty() || authority.find('@') != std::string::npos) return std::nullopt;

    HttpUrl result;
    std::string portText;
    if (authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string::npos || close == 1) return std::nullopt;
        result.host = authority.substr(1, close - 1);
        std::string rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return std::nullopt;
            portText = rest.substr(1);
            result.explicitPort = true;
        }
    } else {
        std::size_t colon = authority.find(':');
        result.host = authority.substr(0, colon);
        if (colon != std::string::npos) {
            portText = authority.substr(colon + 1);
            result.explicitPort = true;
        }
    }
    if (result.host.empty()) return std::nullopt;
    for (char c : result.host) {
        // Control characters and spaces in the host would end up in the request's
        // header lines and in the proxy's CONNECT.
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return std::nullopt;
    }
    if (result.explicitPort) {
        if (portText.empty() || portText.size() > 5) return std::nullopt;
        unsigned value = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535) return std::nullopt;
        result.port = static_cast<std::uint16_t>(value);
    }

    std::string target = url.substr(end);
    std::size_t hash = target.find('#');
    if (hash != std::string::npos) target.erase(hash);
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    for (char c : target) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return std::nullopt;
    }
    result.target = target;
    return result;
}

std::string HostHeaderValue(const HttpUrl& url) {
    std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    if (url.port != 80) host += ":" + std::to_string(url.port);
    return host;
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
