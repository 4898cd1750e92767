#include "net/loopback_servers.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace tarnwell::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollSliceMs = 20;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A numeric address and port; throws for anything but a numeric address.
sockaddr_storage AddressOf(const std::string& text, std::uint16_t port, socklen_t& length) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(text.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        throw std::runtime_error("not a numeric address: " + text);
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = static_cast<socklen_t>(found->ai_addrlen);
    ::freeaddrinfo(found);
    return address;
}

std::uint16_t PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// Listens on `text` at `port` (any free one when 0) with the given queue;
// returns the descriptor and sets `port`.
int Listen(const std::string& text, int backlog, std::uint16_t& port) {
    socklen_t length = 0;
    sockaddr_storage address = AddressOf(text, port, length);
    int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot listen on " + text);
    }
    port = PortOf(address);
    return fd;
}

bool CanConnect(const std::string& text, std::uint16_t port) {
    socklen_t length = 0;
    sockaddr_storage address = AddressOf(text, port, length);
    int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

ServerConnection::~ServerConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool ServerConnection::WaitReadable(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!stopping_ && Clock::now() < end) {
        pollfd p{fd_, POLLIN, 0};
        int n = ::poll(&p, 1, kPollSliceMs);
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
    return false;
}

std::string ServerConnection::ReadExactly(std::size_t size) {
    std::string out;
    while (out.size() < size && fd_ >= 0 && WaitReadable()) {
        char buffer[4096];
        ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, size - out.size()), 0);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    received_ += out;
    return out.size() == size ? out : std::string();
}

std::string ServerConnection::ReadUntil(std::string_view terminator) {
    std::string out;
    // Byte by byte, so nothing after the terminator is taken from the client.
    while (out.find(terminator) == std::string::npos && fd_ >= 0 && WaitReadable()) {
        char c;
        if (::recv(fd_, &c, 1, 0) != 1) break;
        out.push_back(c);
    }
    received_ += out;
    return out;
}

void ServerConnection::Write(std::string_view bytes) {
    std::size_t done = 0;
    const auto end = Clock::now() + kServerWait;
    while (done < bytes.size() && fd_ >= 0 && !stopping_ && Clock::now() < end) {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0) continue;
        ssize_t n =
            ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

bool ServerConnection::WaitForClientClose(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (fd_ >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0 || !WaitReadable(left)) return false;
        char buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

void ServerConnection::Reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

ScriptedServer::ScriptedServer(Session session, const std::string& address)
    : session_(std::move(session)) {
    port_ = 0;
    listenFd_ = Listen(address, 8, port_);
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listenFd_);
}

void ScriptedServer::Run() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ServerConnection connection(fd, stopping_);
        session_(connection);
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back(connection.received());
    }
}

std::vector<std::string> ScriptedServer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::size_t ScriptedServer::Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
}

void TrickleAnswer(ServerConnection& connection) {
    connection.ReadUntil("\r\n\r\n");
    connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    for (int i = 0; i < 100; ++i) {
        connection.Write("x");
        if (connection.WaitForClientClose(std::chrono::milliseconds(100))) return;
    }
}

std::uint16_t UnusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

BlackHole::BlackHole(const std::string& address, std::uint16_t port) : port_(port) {
    // A queue of none still takes one connection; the filler is that one, and
    // every SYN after it is dropped until the listener goes.
    listenFd_ = Listen(address, 0, port_);
    socklen_t length = 0;
    sockaddr_storage target = AddressOf(address, port_, length);
    fillerFd_ = ::socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fillerFd_ < 0 || ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&target), length) != 0)
        throw std::runtime_error("cannot fill the queue on " + address);
}

BlackHole::~BlackHole() {
    if (fillerFd_ >= 0) ::close(fillerFd_);
    if (listenFd_ >= 0) ::close(listenFd_);
}

std::optional<Microsocks> Microsocks::Start(const std::string& user, const std::string& password,
                                            const std::string& address) {
    // The port is free when picked but could be taken before microsocks binds
    // it; a few attempts make that race harmless.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::uint16_t port = UnusedPort();
        std::string portText = std::to_string(port);
        std::vector<std::string> args = {"microsocks", "-i", address, "-p", portText};
        if (!user.empty()) {
            args.insert(args.end(), {"-u", user, "-P", password});
        }
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (::posix_spawnp(&pid, "microsocks", nullptr, nullptr, argv.data(), environ) != 0) {
            return std::nullopt;
        }
        Microsocks process(pid, port);
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end) {
            if (CanConnect(address, port)) return process;
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                process.pid_ = -1;  // exited: the binary is missing or the port was taken
                break;
            }
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, kPollSliceMs);
        }
    }
    return std::nullopt;
}

Microsocks::Microsocks(Microsocks&& other) noexcept : pid_(other.pid_), port_(other.port_) {
    other.pid_ = -1;
}

Microsocks::~Microsocks() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

}  // namespace tarnwell::testing
