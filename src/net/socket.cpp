#include "net/socket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarnwell {
namespace {

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;

int LastSocketError() {
    return WSAGetLastError();
}
bool WouldBlock(int code) {
    return code == WSAEWOULDBLOCK;
}
bool Interrupted(int code) {
    return code == WSAEINTR;
}
bool ConnectPending(int code) {
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}
void CloseNative(NativeSocket s) {
    closesocket(s);
}
int PollNative(pollfd* fds, int timeout_ms) {
    return WSAPoll(fds, 1, timeout_ms);
}

bool SetNonBlocking(NativeSocket s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

std::string SocketErrorText(int code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = n != 0 && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "socket error" : result;
}

std::string ResolverErrorText(int code) {
    return SocketErrorText(code);
}

// Winsock must be started once per process before its first use; the process
// never stops it, so sockets stay usable until exit.
bool StartWinsock() {
    static std::once_flag once;
    static int result = -1;
    std::call_once(once, [] {
        WSADATA data;
        result = WSAStartup(MAKEWORD(2, 2), &data);
    });
    return result == 0;
}

int SendNative(NativeSocket s, const char* data, std::size_t size) {
    int n = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    return send(s, data, n, 0);
}

int ReceiveNative(NativeSocket s, char* data, std::size_t size) {
    int n = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    return recv(s, data, n, 0);
}
#else
using NativeSocket = int;
constexpr NativeSocket kNoSocket = -1;

int LastSocketError() {
    return errno;
}
bool WouldBlock(int code) {
    return code == EAGAIN || code == EWOULDBLOCK;
}
bool Interrupted(int code) {
    return code == EINTR;
}
bool ConnectPending(int code) {
    return code == EINPROGRESS;
}
void CloseNative(NativeSocket s) {
    ::close(s);
}
int PollNative(pollfd* fds, int timeout_ms) {
    return ::poll(fds, 1, timeout_ms);
}

bool SetNonBlocking(NativeSocket s) {
    int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string SocketErrorText(int code) {
    return std::strerror(code);
}
std::string ResolverErrorText(int code) {
    return ::gai_strerror(code);
}
bool StartWinsock() {
    return true;
}

ssize_t SendNative(NativeSocket s, const char* data, std::size_t size) {
    // A peer that has gone must give EPIPE here, not end the program by SIGPIPE.
    return ::send(s, data, size, MSG_NOSIGNAL);
}

ssize_t ReceiveNative(NativeSocket s, char* data, std::size_t size) {
    return ::recv(s, data, size, 0);
}
#endif

NativeSocket ToNative(std::intptr_t handle) {
    return static_cast<NativeSocket>(handle);
}

NetError SocketError(int code, const std::string& what) {
    return MakeNetError(NetErrorKind::kSocket, what + ": " + SocketErrorText(code), code);
}

int MillisecondsLeft(NetDeadline deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - NetClock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

// Waits for `events` on `s` until the deadline; 0 on readiness, else an error number.
int WaitNative(NativeSocket s, short events, NetDeadline deadline) {
    for (;;) {
        pollfd fd{};
        fd.fd = s;
        fd.events = events;
        int left = MillisecondsLeft(deadline);
        int n = PollNative(&fd, left);
        if (n > 0) return 0;
        if (n == 0) return TimedOutCode();
        int code = LastSocketError();
        if (!Interrupted(code)) return code;
    }
}

}  // namespace

int TimedOutCode() {
#ifdef _WIN32
    return WSAETIMEDOUT;
#else
    return ETIMEDOUT;
#endif
}

namespace {
int NotConnectedCode() {
#ifdef _WIN32
    return WSAENOTCONN;
#else
    return ENOTCONN;
#endif
}
}  // namespace

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

void TcpSocket::Close() {
    if (handle_ != -1) {
        CloseNative(ToNative(handle_));
        handle_ = -1;
    }
}

bool TcpSocket::is_open() const {
    return handle_ != -1;
}

NetError TcpSocket::Connect(const std::string& host, std::uint16_t port, NetDeadline deadline) {
    Close();
    if (!StartWinsock()) return SocketError(LastSocketError(), "Cannot start the socket layer");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    // getaddrinfo has no time limit of its own; the system resolver's limits apply.
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
#ifndef _WIN32
        if (rc == EAI_SYSTEM) {
            int code = errno;
            return MakeNetError(NetErrorKind::kResolve,
                                "Cannot resolve " + host + ": " + SocketErrorText(code), code);
        }
#endif
        return MakeNetError(NetErrorKind::kResolve,
                            "Cannot resolve " + host + ": " + ResolverErrorText(rc), rc);
    }

    int last_code = 0;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        NativeSocket s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == kNoSocket) {
            last_code = LastSocketError();
            continue;
        }
        if (!SetNonBlocking(s)) {
            last_code = LastSocketError();
            CloseNative(s);
            continue;
        }
        int code = 0;
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            code = LastSocketError();
            if (ConnectPending(code)) {
                code = WaitNative(s, POLLOUT, deadline);
                if (code == 0) {
                    int so_error = 0;
                    socklen_t len = sizeof so_error;
                    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error),
                                     &len) != 0) {
                        code = LastSocketError();
                    } else {
                        code = so_error;
                    }
                }
            }
        }
        if (code == 0) {
            ::freeaddrinfo(found);
            handle_ = static_cast<std::intptr_t>(s);
            return {};
        }
        CloseNative(s);
        last_code = code;
        if (code == TimedOutCode()) break;  // the deadline is spent for every address
    }
    ::freeaddrinfo(found);
    return SocketError(last_code, "Cannot connect to " + host + " port " + service);
}

NetError TcpSocket::Wait(bool for_write, NetDeadline deadline) {
    int code = WaitNative(ToNative(handle_), for_write ? POLLOUT : POLLIN, deadline);
    if (code == 0) return {};
    return SocketError(code, for_write ? "Sending failed" : "Receiving failed");
}

NetError TcpSocket::SendAll(std::string_view bytes, NetDeadline deadline) {
    if (!is_open()) return SocketError(NotConnectedCode(), "Sending failed");
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        auto n = SendNative(ToNative(handle_), bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        int code = LastSocketError();
        if (n < 0 && Interrupted(code)) continue;
        if (n < 0 && WouldBlock(code)) {
            if (NetError e = Wait(true, deadline); !e.ok()) return e;
            continue;
        }
        return SocketError(code, "Sending failed");
    }
    return {};
}

NetError TcpSocket::Receive(char* buffer, std::size_t size, std::size_t& received,
                            NetDeadline deadline) {
    received = 0;
    if (!is_open()) return SocketError(NotConnectedCode(), "Receiving failed");
    for (;;) {
        auto n = ReceiveNative(ToNative(handle_), buffer, size);
        if (n >= 0) {
            received = static_cast<std::size_t>(n);
            return {};
        }
        int code = LastSocketError();
        if (Interrupted(code)) continue;
        if (WouldBlock(code)) {
            if (NetError e = Wait(false, deadline); !e.ok()) return e;
            continue;
        }
        return SocketError(code, "Receiving failed");
    }
}

}  // namespace tarnwell
