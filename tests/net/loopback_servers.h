#pragma once
// Real servers for the network client's tests, on loopback addresses only: a
// scripted TCP server that runs one session function per connection on its own
// thread, a black hole, and a microsocks process. Every wait is bounded; nothing here sleeps
// blindly.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnwell::testing {

// How long a server waits for the client at most; far beyond any healthy exchange.
inline constexpr std::chrono::seconds kServerWait{10};

// One accepted connection, seen from the server.
class ServerConnection {
  public:
    ServerConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
    ~ServerConnection();

    // Empty when the client closed first or the wait ran out.
    std::string ReadExactly(std::size_t size);
    // Up to and including `terminator`; what came before it when the client closed.
    std::string ReadUntil(std::string_view terminator);
    // Errors are ignored: a client that gave up early is part of several tests.
    void Write(std::string_view bytes);
    // Holds the connection open until the client closes it, the server stops or
    // `limit` has passed; true when the client closed.
    bool WaitForClientClose(std::chrono::milliseconds limit = kServerWait);
    // Closes with a reset (RST) instead of an orderly close.
    void Reset();

    // Everything read from the client so far.
    const std::string& received() const { return received_; }

  private:
    bool WaitReadable(std::chrono::milliseconds limit = kServerWait);

    int fd_;
    const std::atomic<bool>& stopping_;
    std::string received_;
};

class ScriptedServer {
  public:
    using Session = std::function<void(ServerConnection&)>;

    // Listens on `address`: 127.0.0.1, ::1 or another loopback address.
    explicit ScriptedServer(Session session, const std::string& address = "127.0.0.1");
    ~ScriptedServer();

    std::uint16_t port() const { return port_; }
    // What each connection sent, in the order they were accepted.
    std::vector<std::string> Received() const;
    std::size_t Connections() const;

  private:
    void Run();

    Session session_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread thread_;
};

// A session that reads the request, answers with a header that promises 1000
// bytes and then sends one byte every 100 ms: every single wait of the client
// is short, only a limit on the whole exchange ends it. Stops when the client
// closes, or after 10 s.
void TrickleAnswer(ServerConnection& connection);

// A port on 127.0.0.1 that nothing listens on at the moment of the call.
std::uint16_t UnusedPort();

// A loopback address and port that swallow every connection attempt: a
// listener whose queue is full, so the kernel drops the SYNs and a client
// waits as it would for an address whose network is routed but dead.
class BlackHole {
  public:
    // On `port`, or a free one when 0.
    explicit BlackHole(const std::string& address = "127.0.0.2", std::uint16_t port = 0);
    ~BlackHole();
    BlackHole(const BlackHole&) = delete;
    BlackHole& operator=(const BlackHole&) = delete;

    std::uint16_t port() const { return port_; }

  private:
    int listenFd_ = -1;
    int fillerFd_ = -1;
    std::uint16_t port_ = 0;
};

// A microsocks process on a free 127.0.0.1 port, with or without a user; stopped
// when destroyed. nullopt when microsocks is not installed or will not listen.
class Microsocks {
  public:
    // Listens on `address` (127.0.0.1 or ::1).
    static std::optional<Microsocks> Start(const std::string& user = {},
                                           const std::string& password = {},
                                           const std::string& address = "127.0.0.1");
    Microsocks(Microsocks&& other) noexcept;
    Microsocks& operator=(Microsocks&&) = delete;
    ~Microsocks();

    std::uint16_t port() const { return port_; }

  private:
    Microsocks(pid_t pid, std::uint16_t port) : pid_(pid), port_(port) {}

    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace tarnwell::testing
