#include "net/socket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

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
int PollNative(pollfd* fds, std::size_t count, int timeoutMs) {
    return WSAPoll(fds, static_cast<ULONG>(count), timeoutMs);
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
int PollNative(pollfd* fds, std::size_t count, int timeoutMs) {
    return ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
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
    return MakeNetError(NetErrorKind::Socket, what + ": " + SocketErrorText(code), code);
}

// The socket layer's number for a wait that ran out of time.
int TimedOutCode() {
#ifdef _WIN32
    return WSAETIMEDOUT;
#else
    return ETIMEDOUT;
#endif
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
        int n = PollNative(&fd, 1, left);
        if (n > 0) return 0;
        if (n == 0) return TimedOutCode();
        int code = LastSocketError();
        if (!Interrupted(code)) return code;
    }
}

}  // namespace

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

bool TcpSocket::IsOpen() const {
    return handle_ != -1;
}

namespace {

// RFC 8305's connection attempt delay: a healthy handshake is over long
// before it, and an address that never answers costs no more than it.
constexpr std::chrono::milliseconds kAttemptDelay{250};

int AddressNotAvailableCode() {
#ifdef _WIN32
    return WSAEADDRNOTAVAIL;
#else
    return EADDRNOTAVAIL;
#endif
}

// The result of a resolver that runs on a thread of its own; shared with that
// thread, which may outlive the wait for it.
struct Resolution {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    NetError error;
    std::vector<std::string> addresses;
};

// getaddrinfo has no time limit of its own, and the system resolver's can add
// up to far more than the caller may wait. The resolver therefore runs on a
// thread that is left behind when the deadline passes first; its answer then
// goes nowhere.
NetError ResolveBefore(const NameResolver& resolver, const std::string& host, NetDeadline deadline,
                       std::vector<std::string>& addresses) {
    auto state = std::make_shared<Resolution>();
    try {
        std::thread([state, resolver, host] {
            std::vector<std::string> found;
            NetError error = resolver(host, found);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->error = std::move(error);
            state->addresses = std::move(found);
            state->done = true;
            state->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: resolve here, with the system's own limits.
        return resolver(host, addresses);
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->finished.wait_until(lock, deadline, [&] { return state->done; })) {
        return SocketError(TimedOutCode(), "Cannot resolve " + host);
    }
    addresses = std::move(state->addresses);
    return std::move(state->error);
}

bool IsIpv6(const std::string& address) {
    return address.find(':') != std::string::npos;
}

// RFC 8305 section 4: the families take turns, starting with the resolver's
// first choice, so one dead family cannot hold back the other for long.
std::vector<std::string> Interleaved(const std::vector<std::string>& addresses) {
    if (addresses.empty()) return {};
    const bool firstIpv6 = IsIpv6(addresses.front());
    std::vector<std::string> first;
    std::vector<std::string> second;
    for (const std::string& a : addresses) (IsIpv6(a) == firstIpv6 ? first : second).push_back(a);
    std::vector<std::string> order;
    for (std::size_t i = 0; i < std::max(first.size(), second.size()); ++i) {
        if (i < first.size()) order.push_back(first[i]);
        if (i < second.size()) order.push_back(second[i]);
    }
    return order;
}

struct NumericAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = 0;
};

bool ToNumericAddress(const std::string& text, std::uint16_t port, NumericAddress& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(text.c_str(), service.c_str(), &hints, &found) != 0) return false;
    const bool fits = found->ai_addrlen <= sizeof out.storage;
    if (fits) {
        std::memcpy(&out.storage, found->ai_addr, found->ai_addrlen);
        out.length = static_cast<socklen_t>(found->ai_addrlen);
        out.family = found->ai_family;
    }
    ::freeaddrinfo(found);
    return fits;
}

// The attempts of one Connect race: a new one starts every kAttemptDelay, or
// at once when the last one failed, and the first to connect wins. So an
// address that swallows every packet costs a moment, not the whole time of
// the check. The losers are closed with the race.
class ConnectionRace {
  public:
    ConnectionRace(const std::vector<std::string>& order, std::uint16_t port)
        : order_(order), port_(port) {}
    ~ConnectionRace() {
        for (NativeSocket s : pending_) CloseNative(s);
    }
    ConnectionRace(const ConnectionRace&) = delete;
    ConnectionRace& operator=(const ConnectionRace&) = delete;

    // The first socket to connect; kNoSocket when every attempt failed or the
    // deadline came first.
    NativeSocket Run(NetDeadline deadline) {
        for (;;) {
            const NetDeadline now = NetClock::now();
            if (now >= deadline) {
                lastCode_ = TimedOutCode();
                return kNoSocket;
            }
            if (next_ < order_.size() && (pending_.empty() || now >= nextStart_)) {
                if (const NativeSocket s = StartNext(); s != kNoSocket) return s;
                continue;
            }
            if (pending_.empty()) return kNoSocket;  // every address has failed
            NetDeadline until = deadline;
            if (next_ < order_.size()) until = std::min(until, nextStart_);
            if (const NativeSocket s = AwaitPending(until); s != kNoSocket) return s;
        }
    }

    // The socket layer's number for the attempt that failed last.
    int LastCode() const { return lastCode_; }

  private:
    // Starts the attempt on the next address; the socket when it connected at
    // once, else kNoSocket (the attempt pending or failed).
    NativeSocket StartNext() {
        NumericAddress address;
        if (!ToNumericAddress(order_[next_++], port_, address)) {
            lastCode_ = AddressNotAvailableCode();
            return kNoSocket;
        }
        const NativeSocket s = ::socket(address.family, SOCK_STREAM, IPPROTO_TCP);
        if (s == kNoSocket) {
            lastCode_ = LastSocketError();
            return kNoSocket;
        }
        if (!SetNonBlocking(s)) {
            lastCode_ = LastSocketError();
            CloseNative(s);
            return kNoSocket;
        }
        if (::connect(s, reinterpret_cast<const sockaddr*>(&address.storage), address.length) ==
            0) {
            return s;
        }
        const int code = LastSocketError();
        if (!ConnectPending(code)) {
            CloseNative(s);
            lastCode_ = code;
            return kNoSocket;
        }
        pending_.push_back(s);
        nextStart_ = NetClock::now() + kAttemptDelay;
        return kNoSocket;
    }

    // Waits until `until` for a pending attempt to end; the socket of the
    // first that connected, else kNoSocket. A failed wait ends the race.
    NativeSocket AwaitPending(NetDeadline until) {
        std::vector<pollfd> fds(pending_.size());
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            fds[i].fd = pending_[i];
            fds[i].events = POLLOUT;
        }
        if (PollNative(fds.data(), fds.size(), MillisecondsLeft(until)) < 0) {
            const int code = LastSocketError();
            if (Interrupted(code)) return kNoSocket;
            for (NativeSocket s : pending_) CloseNative(s);
            pending_.clear();
            next_ = order_.size();
            lastCode_ = code;
            return kNoSocket;
        }
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            const NativeSocket s = pending_[i];
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            const int code = ConnectResult(s);
            if (code == 0) return s;
            CloseNative(s);
            lastCode_ = code;
            nextStart_ = NetClock::now();
        }
        return kNoSocket;
    }

    // 0 when the attempt on `s` connected, else its error number.
    static int ConnectResult(NativeSocket s) {
        int soError = 0;
        socklen_t length = sizeof soError;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) !=
            0) {
            return LastSocketError();
        }
        return soError;
    }

    const std::vector<std::string>& order_;
    std::uint16_t port_;
    std::vector<NativeSocket> pending_;
    std::size_t next_ = 0;
    NetDeadline nextStart_ = NetClock::now();
    int lastCode_ = 0;
};

}  // namespace

NetError ResolveWithSystem(const std::string& host, std::vector<std::string>& addresses) {
    addresses.clear();
    if (!StartWinsock()) return SocketError(LastSocketError(), "Cannot start the socket layer");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) {
#ifndef _WIN32
        if (rc == EAI_SYSTEM) {
            int code = errno;
            return MakeNetError(NetErrorKind::Resolve,
                                "Cannot resolve " + host + ": " + SocketErrorText(code), code);
        }
#endif
        return MakeNetError(NetErrorKind::Resolve,
                            "Cannot resolve " + host + ": " + ResolverErrorText(rc), rc);
    }
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        char text[1025] = {};
        if (::getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), text, sizeof text,
                          nullptr, 0, NI_NUMERICHOST) != 0) {
            continue;
        }
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return {};
}

NetError TcpSocket::Connect(const std::string& host, std::uint16_t port, NetDeadline deadline,
                            const NameResolver& resolver) {
    Close();
    if (!StartWinsock()) return SocketError(LastSocketError(), "Cannot start the socket layer");

    std::vector<std::string> addresses;
    if (NetError e = ResolveBefore(resolver ? resolver : NameResolver(ResolveWithSystem), host,
                                   deadline, addresses);
        !e.Ok()) {
        return e;
    }
    const std::string service = std::to_string(port);
    const std::vector<std::string> order = Interleaved(addresses);
    if (order.empty()) {
        return SocketError(AddressNotAvailableCode(),
                           "Cannot connect to " + host + " port " + service);
    }
    ConnectionRace race(order, port);
    const NativeSocket s = race.Run(deadline);
    if (s == kNoSocket) {
        return SocketError(race.LastCode(), "Cannot connect to " + host + " port " + service);
    }
    handle_ = static_cast<std::intptr_t>(s);
    return {};
}

NetError TcpSocket::Wait(bool forWrite, NetDeadline deadline) {
    int code = WaitNative(ToNative(handle_), forWrite ? POLLOUT : POLLIN, deadline);
    if (code == 0) return {};
    return SocketError(code, forWrite ? "Sending failed" : "Receiving failed");
}

NetError TcpSocket::SendAll(std::string_view bytes, NetDeadline deadline) {
    if (!IsOpen()) return SocketError(NotConnectedCode(), "Sending failed");
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
            if (NetError e = Wait(true, deadline); !e.Ok()) return e;
            continue;
        }
        return SocketError(code, "Sending failed");
    }
    return {};
}

NetError TcpSocket::Receive(char* buffer, std::size_t size, std::size_t& received,
                            NetDeadline deadline) {
    received = 0;
    if (!IsOpen()) return SocketError(NotConnectedCode(), "Receiving failed");
    for (;;) {
        auto n = ReceiveNative(ToNative(handle_), buffer, size);
        if (n >= 0) {
            received = static_cast<std::size_t>(n);
            return {};
        }
        int code = LastSocketError();
        if (Interrupted(code)) continue;
        if (WouldBlock(code)) {
            if (NetError e = Wait(false, deadline); !e.Ok()) return e;
            continue;
        }
        return SocketError(code, "Receiving failed");
    }
}

}  // namespace tarnwell
