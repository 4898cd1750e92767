#pragma once
// The client side of SOCKS version 5 (RFC 1928) with user name and password
// authentication (RFC 1929), as the update check uses it: exactly one offered
// method, CONNECT by domain name so the proxy resolves the name. The message
// builders and reply readers work on bytes only; Socks5Connect drives them over
// a connected socket. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/net_error.h"
#include "net/reader_state.h"
#include "net/socket.h"

namespace tarnwell {

inline constexpr std::uint8_t kSocksMethodNone = 0x00;
inline constexpr std::uint8_t kSocksMethodUserPassword = 0x02;
inline constexpr std::uint8_t kSocksNoAcceptableMethod = 0xFF;
// RFC 1929 carries each of user name and password in at most 255 bytes.
inline constexpr std::size_t kMaxSocksCredentialBytes = 255;

struct Socks5Proxy {
    std::string host;
    std::int32_t port = 0;  // as stored; checked to be a TCP port before use
    // Authentication by user name and password is asked for exactly when the
    // user name is not empty; the password is then sent as it is, empty or not.
    std::string user;
    std::string password;
};

// The greeting: version 5 and one method, X'02' with a user name, X'00' without.
std::string BuildSocksGreeting(bool withUser);
// The RFC 1929 request; InvalidArgument when a part is longer than 255 bytes.
NetError BuildSocksAuthRequest(const std::string& user, const std::string& password,
                               std::string& request);
// CONNECT with address type X'03': `host` as given, never resolved here.
NetError BuildSocksConnectRequest(const std::string& host, std::uint16_t port,
                                  std::string& request);

// Checks the two bytes of the method choice against the one method offered.
NetError CheckSocksMethodReply(std::string_view reply, std::uint8_t offered);
// Checks the two bytes of the RFC 1929 reply.
NetError CheckSocksAuthReply(std::string_view reply);

// The reply to CONNECT: version, reply code, reserved byte, the bound address
// by its type and the bound port. It says how many bytes it still needs, so the
// connector reads exactly the reply and nothing of the tunnelled stream after it.
class Socks5ReplyReader {
  public:
    // Bytes still needed; 0 once done or failed.
    std::size_t Needed() const;
    // Takes at most Needed() bytes from the front of `bytes`; returns how many it took.
    std::size_t Feed(std::string_view bytes);

    ReaderState State() const { return state_; }
    const NetError& Error() const { return error_; }
    std::uint8_t AddressType() const { return addressType_; }
    // The bound address as the proxy sent it: 4 or 16 bytes, or the domain name.
    const std::string& BoundAddress() const { return address_; }
    std::uint16_t BoundPort() const { return port_; }

  private:
    void Advance();

    ReaderState state_ = ReaderState::NeedMore;
    NetError error_;
    std::string bytes_;      // the reply so far
    std::size_t total_ = 5;  // the reply's length as far as known: 5 until the address type is read
    std::uint8_t addressType_ = 0;
    std::string address_;
    std::uint16_t port_ = 0;
};

// The text of a CONNECT reply code (RFC 1928 section 6).
std::string SocksReplyText(std::uint8_t code);

// Runs the negotiation on `socket`, already connected to the proxy, so that the
// connection then leads to `host`:`port`. A failure while waiting for any of the
// proxy's replies is ProxyNoReply; a refusal or a reply that is not SOCKS5 is
// ProxyRefused; a failure to send carries the socket layer's number.
NetError Socks5Connect(TcpSocket& socket, const Socks5Proxy& proxy, const std::string& host,
                       std::uint16_t port, NetClock::duration waitLimit, NetDeadline deadline);

}  // namespace tarnwell
