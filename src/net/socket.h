#pragma once
// A connected TCP socket with deadlines on every wait: POSIX sockets, or Winsock
// on Windows. Every failure carries the socket layer's own number (or the
// resolver's), because the user is shown that number. One thread at a time.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_error.h"

namespace tarnwell {

using NetClock = std::chrono::steady_clock;
using NetDeadline = NetClock::time_point;

// Finds the numeric addresses ("192.0.2.1", "::1") of a host name, in the order
// to try them. May be called on a thread of its own, which the caller stops
// waiting for at its deadline.
using NameResolver =
    std::function<NetError(const std::string& host, std::vector<std::string>& addresses)>;

// The system's resolver (getaddrinfo): its order, duplicates left out.
NetError ResolveWithSystem(const std::string& host, std::vector<std::string>& addresses);

class TcpSocket {
  public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves `host` and connects to one of its addresses: attempts start
    // 250 ms apart, the address families taking turns (RFC 8305), and the first
    // to connect wins. Resolving counts against the deadline too. Resolve or
    // Socket on failure; the socket code is that of the last attempt to fail,
    // ETIMEDOUT / WSAETIMEDOUT when the deadline ended the try.
    NetError Connect(const std::string& host, std::uint16_t port, NetDeadline deadline,
                     const NameResolver& resolver = {});

    NetError SendAll(std::string_view bytes, NetDeadline deadline);

    // Receives at most `size` bytes; `received` is 0 when the peer closed the
    // connection in order.
    NetError Receive(char* buffer, std::size_t size, std::size_t& received, NetDeadline deadline);

    void Close();
    bool IsOpen() const;

  private:
    // Waits until the socket is readable (or writable); false with a Socket
    // error when the wait fails or the deadline passes.
    NetError Wait(bool forWrite, NetDeadline deadline);

    std::intptr_t handle_ = -1;  // a SOCKET on Windows, a file descriptor elsewhere
};

}  // namespace tarnwell
