#include "net/socks5.h"

#include <algorithm>

namespace tarnwell {
namespace {

constexpr std::uint8_t kSocksVersion = 0x05;
constexpr std::uint8_t kSocksAuthVersion = 0x01;
constexpr std::uint8_t kSocksConnect = 0x01;
constexpr std::uint8_t kAddressIPv4 = 0x01;
constexpr std::uint8_t kAddressDomain = 0x03;
constexpr std::uint8_t kAddressIPv6 = 0x04;

std::uint8_t Byte(std::string_view s, std::size_t i) {
    return static_cast<std::uint8_t>(s[i]);
}

NetError NoReply() {
    return MakeNetError(NetErrorKind::ProxyNoReply, "The SOCKS proxy is not responding");
}

NetError Refused(std::string text) {
    return MakeNetError(NetErrorKind::ProxyRefused, std::move(text));
}

// Reads exactly `size` bytes of a proxy reply. Whatever goes wrong while
// waiting (an error, the connection closed, no answer in time) means the proxy
// is not responding: that failure carries no socket number.
bool ReadReply(TcpSocket& socket, std::size_t size, std::string& reply, NetDeadline deadline) {
    reply.clear();
    char buffer[256];
    while (reply.size() < size) {
        std::size_t received = 0;
        std::size_t want = std::min(sizeof buffer, size - reply.size());
        if (!socket.Receive(buffer, want, received, deadline).Ok() || received == 0) return false;
        reply.append(buffer, received);
    }
    return true;
}

}  // namespace

std::string BuildSocksGreeting(bool withUser) {
    std::string greeting;
    greeting.push_back(static_cast<char>(kSocksVersion));
    greeting.push_back(1);
    greeting.push_back(static_cast<char>(withUser ? kSocksMethodUserPassword : kSocksMethodNone));
    return greeting;
}

NetError BuildSocksAuthRequest(const std::string& user, const std::string& password,
                               std::string& request) {
    if (user.size() > kMaxSocksCredentialBytes) {
        return MakeNetError(NetErrorKind::InvalidArgument,
                            "The proxy user name is longer than 255 bytes, which a SOCKS5 proxy "
                            "cannot be sent");
    }
    if (password.size() > kMaxSocksCredentialBytes) {
        return MakeNetError(NetErrorKind::InvalidArgument,
                            "The proxy password is longer than 255 bytes, which a SOCKS5 proxy "
                            "cannot be sent");
    }
    request.clear();
    request.push_back(static_cast<char>(kSocksAuthVersion));
    request.push_back(static_cast<char>(user.size()));
    request += user;
    request.push_back(static_cast<char>(password.size()));
    request += password;
    return {};
}

NetError BuildSocksConnectRequest(const std::string& host, std::uint16_t port,
                                  std::string& request) {
    if (host.empty() || host.size() > 255) {
        return MakeNetError(NetErrorKind::InvalidArgument,
                            "The server name cannot be sent to a SOCKS5 proxy: it must be 1 to "
                            "255 bytes long");
    }
    request.clear();
    request.push_back(static_cast<char>(kSocksVersion));
    request.push_back(static_cast<char>(kSocksConnect));
    request.push_back(0);
    request.push_back(static_cast<char>(kAddressDomain));
    request.push_back(static_cast<char>(host.size()));
    request += host;
    request.push_back(static_cast<char>(port >> 8));
    request.push_back(static_cast<char>(port & 0xFF));
    return {};
}

NetError CheckSocksMethodReply(std::string_view reply, std::uint8_t offered) {
    if (reply.size() != 2 || Byte(reply, 0) != kSocksVersion) {
        return Refused("The SOCKS proxy's answer is not SOCKS version 5");
    }
    if (Byte(reply, 1) == kSocksNoAcceptableMethod) {
        return Refused(
            offered == kSocksMethodNone
                ? "The SOCKS proxy requires authentication, and no proxy user name is set"
                : "The SOCKS proxy does not accept user name and password authentication");
    }
    if (Byte(reply, 1) != offered) {
        return Refused("The SOCKS proxy chose an authentication method that was not offered");
    }
    return {};
}

NetError CheckSocksAuthReply(std::string_view reply) {
    // RFC 1929 answers with version 1; some proxies answer with 5. The status is
    // what counts.
    if (reply.size() != 2 ||
        (Byte(reply, 0) != kSocksAuthVersion && Byte(reply, 0) != kSocksVersion)) {
        return Refused("The SOCKS proxy's answer to the user name and password is not SOCKS5");
    }
    if (Byte(reply, 1) != 0) {
        return Refused("The SOCKS proxy refused the user name or password");
    }
    return {};
}

std::string SocksReplyText(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "succeeded";
        case 0x01:
            return "general SOCKS server failure";
        case 0x02:
            return "connection not allowed by ruleset";
        case 0x03:
            return "network unreachable";
        case 0x04:
            return "host unreachable";
        case 0x05:
            return "connection refused";
        case 0x06:
            return "TTL expired";
        case 0x07:
            return "command not supported";
        case 0x08:
            return "address type not supported";
        default:
            return "unknown reply code " + std::to_string(code);
    }
}

std::size_t Socks5ReplyReader::Needed() const {
    return state_ == ReaderState::NeedMore ? total_ - bytes_.size() : 0;
}

std::size_t Socks5ReplyReader::Feed(std::string_view bytes) {
    std::size_t take = std::min(bytes.size(), Needed());
    // One byte at a time past the fixed part, because the length of the reply
    // is known only once its address type (and a domain's length) has been read.
    for (std::size_t i = 0; i < take && state_ == ReaderState::NeedMore; ++i) {
        bytes_.push_back(bytes[i]);
        Advance();
        if (state_ != ReaderState::NeedMore) return i + 1;
    }
    return take;
}

void Socks5ReplyReader::Advance() {
    const std::size_t n = bytes_.size();
    if (n == 1 && Byte(bytes_, 0) != kSocksVersion) {
        state_ = ReaderState::Failed;
        error_ = Refused("The SOCKS proxy's answer to CONNECT is not SOCKS version 5");
        return;
    }
    if (n == 2 && Byte(bytes_, 1) != 0) {
        state_ = ReaderState::Failed;
        error_ = Refused(
            "The SOCKS proxy could not connect to the server: " + SocksReplyText(Byte(bytes_, 1)) +
            " (reply code " + std::to_string(Byte(bytes_, 1)) + ")");
        return;
    }
    if (n == 4) {
        addressType_ = Byte(bytes_, 3);
        switch (addressType_) {
            case kAddressIPv4:
                total_ = 4 + 4 + 2;
                break;
            case kAddressIPv6:
                total_ = 4 + 16 + 2;
                break;
            case kAddressDomain:
                total_ = 5;
                break;  // the length byte comes next
            default:
                state_ = ReaderState::Failed;
                error_ =
                    Refused("The SOCKS proxy's answer to CONNECT has an unknown address type " +
                            std::to_string(addressType_));
                return;
        }
    }
    if (n == 5 && addressType_ == kAddressDomain) total_ = 5 + Byte(bytes_, 4) + 2;
    if (n == total_) {
        std::size_t start = addressType_ == kAddressDomain ? 5 : 4;
        address_ = bytes_.substr(start, total_ - start - 2);
        port_ =
            static_cast<std::uint16_t>((Byte(bytes_, total_ - 2) << 8) | Byte(bytes_, total_ - 1));
        state_ = ReaderState::Done;
    }
}

NetError Socks5Connect(TcpSocket& socket, const Socks5Proxy& proxy, const std::string& host,
                       std::uint16_t port, NetClock::duration waitLimit, NetDeadline deadline) {
    const bool withUser = !proxy.user.empty();
    std::string authRequest;
    if (withUser) {
        if (NetError e = BuildSocksAuthRequest(proxy.user, proxy.password, authRequest); !e.Ok()) {
            return e;
        }
    }
    std::string connectRequest;
    if (NetError e = BuildSocksConnectRequest(host, port, connectRequest); !e.Ok()) return e;
    auto waitUntil = [&] { return std::min(deadline, NetClock::now() + waitLimit); };

    std::string reply;
    const std::uint8_t method = withUser ? kSocksMethodUserPassword : kSocksMethodNone;
    if (NetError e = socket.SendAll(BuildSocksGreeting(withUser), waitUntil()); !e.Ok()) return e;
    if (!ReadReply(socket, 2, reply, waitUntil())) return NoReply();
    if (NetError e = CheckSocksMethodReply(reply, method); !e.Ok()) return e;

    if (withUser) {
        if (NetError e = socket.SendAll(authRequest, waitUntil()); !e.Ok()) return e;
        if (!ReadReply(socket, 2, reply, waitUntil())) return NoReply();
        if (NetError e = CheckSocksAuthReply(reply); !e.Ok()) return e;
    }

    if (NetError e = socket.SendAll(connectRequest, waitUntil()); !e.Ok()) return e;
    // Fed as the bytes arrive, so that a refusal is reported even when the
    // proxy closes the connection right after the reply code.
    Socks5ReplyReader reader;
    const NetDeadline replyDeadline = waitUntil();
    while (reader.Needed() > 0) {
        char buffer[256];
        std::size_t received = 0;
        std::size_t want = std::min(sizeof buffer, reader.Needed());
        if (!socket.Receive(buffer, want, received, replyDeadline).Ok() || received == 0) {
            return NoReply();
        }
        reader.Feed(std::string_view(buffer, received));
    }
    if (reader.State() == ReaderState::Failed) return reader.Error();
    return {};
}

}  // namespace tarnwell
