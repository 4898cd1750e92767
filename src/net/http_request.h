#pragma once
// The address of a resource and the exact GET request the update check sends:
// the request line and exactly the header lines Host, Accept and User-Agent,
// in that order, nothing else. Pure functions; any thread.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwell {

struct HttpUrl {
    std::string host;  // as written in the address, without the brackets of an IPv6 literal
    std::uint16_t port = 80;
    bool explicitPort = false;
    std::string target = "/";  // path and query, never empty
};

// Parses "http://host[:port][/path][?query][#fragment]". Only the http scheme;
// no user information. nullopt for anything else.
std::optional<HttpUrl> ParseHttpUrl(const std::string& url);

// A host and port as an address writes them: an IPv6 literal in brackets,
// the port only when it is not 80.
std::string HostWithPort(const std::string& host, std::uint16_t port);

// The Host header's value: HostWithPort of the address's host and port.
std::string HostHeaderValue(const HttpUrl& url);

std::string BuildGetRequest(const HttpUrl& url);

}  // namespace tarnwell
