#pragma once
// The outcome of a network exchange, shaped for the update check's three kinds
// of failure: a failure that carries the socket layer's (or the resolver's)
// number is shown with that number; every other failure is shown with its text.
// Plain data; any thread.

#include <string>
#include <utility>

namespace tarnwell {

enum class NetErrorKind {
    None,
    // The name could not be resolved; `code` is the resolver's own code
    // (getaddrinfo's EAI_* value on POSIX, the Winsock code such as 11001 on Windows).
    Resolve,
    // Connecting, sending or receiving failed, or a wait ran out of time; `code`
    // is the socket layer's error number (errno / WSAGetLastError, ETIMEDOUT /
    // WSAETIMEDOUT for a wait that ran out).
    Socket,
    // The SOCKS proxy did not answer while the client waited for one of its replies
    // (no reply in time, an error, or the connection closed). No code.
    ProxyNoReply,
    // The SOCKS proxy answered, but refused (method, authentication, CONNECT) or
    // answered something that is not SOCKS5. No code.
    ProxyRefused,
    // The server answered with a status other than 2xx; `code` is the status and
    // `text` the status line as received.
    HttpStatus,
    // The response is not HTTP/1.x as the client understands it, or it ended early.
    Protocol,
    // The header block or the body is larger than the client accepts.
    TooLarge,
    // The request could not be made at all (a malformed address, a proxy port
    // outside 1 to 65535, a proxy user name or password longer than SOCKS5 carries).
    InvalidArgument,
};

struct NetError {
    NetErrorKind kind = NetErrorKind::None;
    int code = 0;
    std::string text;

    bool Ok() const { return kind == NetErrorKind::None; }
    // True for the failures of the connection itself, whose number the user sees.
    bool CarriesSocketCode() const {
        return kind == NetErrorKind::Resolve || kind == NetErrorKind::Socket;
    }
};

inline NetError MakeNetError(NetErrorKind kind, std::string text, int code = 0) {
    return NetError{kind, code, std::move(text)};
}

}  // namespace tarnwell
