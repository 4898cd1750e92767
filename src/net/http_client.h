#pragma once
// A small, strict HTTP/1.1 GET client on plain sockets, directly or through a
// SOCKS5 proxy. It sends exactly the request of BuildGetRequest, reads the
// response by Content-Length, by chunks or until the server closes, follows no
// redirect, accepts 2xx only and closes the connection afterwards. Every wait
// is bounded, so a server that never answers cannot hang the caller for good.
// The client holds no connection between calls; any thread, one call at a time
// per client.

#include <chrono>
#include <optional>
#include <string>

#include "net/net_error.h"
#include "net/socket.h"
#include "net/socks5.h"

namespace tarnwell {

struct HttpLimits {
    // The longest wait for one step: connecting, one send, one receive, one
    // reply of the proxy.
    std::chrono::milliseconds wait{std::chrono::seconds(30)};
    // The longest the whole exchange may take, resolving included, so a server
    // that trickles bytes cannot hold the caller either.
    std::chrono::milliseconds total{std::chrono::seconds(30)};
};

struct HttpResult {
    NetError error;  // None on success
    int status = 0;
    std::string statusLine;
    std::string body;

    bool Ok() const { return error.Ok(); }
};

class HttpClient {
  public:
    // `resolver` finds the addresses of the server's or the proxy's name; the
    // system's when empty.
    explicit HttpClient(HttpLimits limits = {}, NameResolver resolver = {});

    // GET of `url` ("http://host[:port]/path"). Through `proxy` when given: the
    // proxy's name is resolved here, the server's name by the proxy.
    HttpResult Get(const std::string& url, const std::optional<Socks5Proxy>& proxy) const;

  private:
    HttpLimits limits_;
    NameResolver resolver_;
};

}  // namespace tarnwell
