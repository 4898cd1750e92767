#include "net/http_client.h"

#include <algorithm>
#include <utility>

#include "net/http_request.h"
#include "net/http_response_reader.h"
#include "net/socket.h"

namespace tarnwell {
namespace {

HttpResult Failed(NetError error) {
    HttpResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

HttpClient::HttpClient(HttpLimits limits, NameResolver resolver)
    : limits_(limits), resolver_(std::move(resolver)) {}

HttpResult HttpClient::Get(const std::string& url, const std::optional<Socks5Proxy>& proxy) const {
    std::optional<HttpUrl> parsed = ParseHttpUrl(url);
    if (!parsed) {
        return Failed(MakeNetError(NetErrorKind::InvalidArgument, "Not an http address: " + url));
    }
    if (proxy) {
        // The stored port is not range-checked; a port outside 1 to 65535 would
        // otherwise be cut to 16 bits and lead somewhere else.
        if (proxy->port < 1 || proxy->port > 65535) {
            return Failed(MakeNetError(NetErrorKind::InvalidArgument,
                                       "The proxy port " + std::to_string(proxy->port) +
                                           " is not a TCP port (1 to 65535)"));
        }
        if (!proxy->user.empty()) {
            std::string unused;
            if (NetError e = BuildSocksAuthRequest(proxy->user, proxy->password, unused); !e.Ok()) {
                return Failed(std::move(e));
            }
        }
    }

    const NetDeadline end = NetClock::now() + limits_.total;
    auto waitUntil = [&] { return std::min(end, NetClock::now() + limits_.wait); };

    TcpSocket socket;
    if (proxy) {
        if (NetError e = socket.Connect(proxy->host, static_cast<std::uint16_t>(proxy->port),
                                        waitUntil(), resolver_);
            !e.Ok()) {
            return Failed(std::move(e));
        }
        if (NetError e =
                Socks5Connect(socket, *proxy, parsed->host, parsed->port, limits_.wait, end);
            !e.Ok()) {
            return Failed(std::move(e));
        }
    } else if (NetError e = socket.Connect(parsed->host, parsed->port, waitUntil(), resolver_);
               !e.Ok()) {
        return Failed(std::move(e));
    }

    if (NetError e = socket.SendAll(BuildGetRequest(*parsed), waitUntil()); !e.Ok()) {
        return Failed(std::move(e));
    }

    HttpResponseReader reader;
    std::string buffer(16 * 1024, '\0');
    while (reader.State() == ReaderState::NeedMore) {
        std::size_t received = 0;
        if (NetError e = socket.Receive(buffer.data(), buffer.size(), received, waitUntil());
            !e.Ok()) {
            return Failed(std::move(e));
        }
        if (received == 0) {
            reader.Finish();
        } else {
            reader.Feed(std::string_view(buffer.data(), received));
        }
    }
    socket.Close();

    if (reader.State() == ReaderState::Failed) return Failed(reader.Error());
    HttpResult result;
    result.status = reader.Status();
    result.statusLine = reader.StatusLine();
    result.body = reader.TakeBody();
    return result;
}

}  // namespace tarnwell
