#include "net/loopback_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

bool CanConnect(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address = Loopback(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
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

ScriptedServer::ScriptedServer(Session session) : session_(std::move(session)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listen_fd_ < 0 ||
        ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 8) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listen_fd_);
}

void ScriptedServer::Run() {
    while (!stopping_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0) continue;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
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

std::uint16_t UnusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::optional<Microsocks> Microsocks::Start(const std::string& user, const std::string& password) {
    // The port is free when picked but could be taken before microsocks binds
    // it; a few attempts make that race harmless.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::uint16_t port = UnusedPort();
        std::string port_text = std::to_string(port);
        std::vector<std::string> args = {"microsocks", "-i", "127.0.0.1", "-p", port_text};
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
            if (CanConnect(port)) return process;
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
