// The HTTP client through a SOCKS5 proxy: a scripted proxy of the test's own
// that records what the client sends and answers as each case needs, and a real
// microsocks.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "net/loopback_servers.h"

namespace tarnwell {
namespace {

using namespace std::string_literals;
using testing::Microsocks;
using testing::ScriptedServer;
using testing::ServerConnection;
using Clock = std::chrono::steady_clock;

constexpr char kUpdateUrl[] = "http://updates.example/versions/versions.xml";
const std::string kDocument = "<ProductVersions/>";
const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-Length: 18\r\n\r\n" + kDocument;
const std::string kRequest =
    "GET /versions/versions.xml HTTP/1.1\r\n"
    "Host: updates.example\r\n"
    "Accept: text/html, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
    "\r\n";

HttpLimits TestLimits() {
    HttpLimits limits;
    limits.wait = std::chrono::milliseconds(500);
    limits.total = std::chrono::seconds(20);
    return limits;
}

std::vector<std::string> WaitForSessions(const ScriptedServer& server, std::size_t count) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (server.Connections() < count && Clock::now() < end) std::this_thread::yield();
    return server.Received();
}

// What the scripted proxy answers at each step. An empty answer closes the
// connection there; kSilent keeps it open without a word.
const std::string kSilent = "silent";
struct ProxyScript {
    std::string methodReply = "\x05\x00"s;
    std::string authReply = "\x01\x00"s;
    std::string connectReply = "\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38"s;
    // Sent together with the CONNECT reply, before the request arrives: the
    // client must read the reply exactly and leave these bytes to HTTP.
    bool responseWithReply = false;
};

bool Answer(ServerConnection& c, const std::string& reply) {
    if (reply == kSilent) {
        c.WaitForClientClose();
        return false;
    }
    if (reply.empty()) return false;
    c.Write(reply);
    return true;
}

ScriptedServer::Session Proxy(ProxyScript script) {
    return [script](ServerConnection& c) {
        std::string greeting = c.ReadExactly(2);
        if (greeting.empty()) return;
        std::string methods = c.ReadExactly(static_cast<unsigned char>(greeting[1]));
        if (!Answer(c, script.methodReply)) return;
        if (methods.find('\x02') != std::string::npos && script.methodReply[1] == '\x02') {
            std::string head = c.ReadExactly(2);
            if (head.empty()) return;
            c.ReadExactly(static_cast<unsigned char>(head[1]));
            std::string length = c.ReadExactly(1);
            if (length.empty()) return;
            c.ReadExactly(static_cast<unsigned char>(length[0]));
            if (!Answer(c, script.authReply)) return;
        }
        std::string head = c.ReadExactly(5);
        if (head.empty()) return;
        c.ReadExactly(static_cast<unsigned char>(head[4]) + 2u);
        if (script.responseWithReply && script.connectReply.size() > 1 &&
            script.connectReply[1] == 0) {
            c.Write(script.connectReply + kResponse);
            c.ReadUntil("\r\n\r\n");
            c.WaitForClientClose();
            return;
        }
        if (!Answer(c, script.connectReply)) return;
        c.ReadUntil("\r\n\r\n");
        c.Write(kResponse);
        c.WaitForClientClose();
    };
}

Socks5Proxy ProxyAt(std::uint16_t port, std::string user = {}, std::string password = {}) {
    return Socks5Proxy{"127.0.0.1", port, std::move(user), std::move(password)};
}

TEST(Socks5Client, SendsExactlyTheNegotiationAndTheRequest) {
    struct Case {
        const char* name;
        std::string user;
        std::string password;
        std::string negotiation;  // greeting, authentication, CONNECT
    };
    const std::string connect = "\x05\x01\x00\x03\x0fupdates.example\x00\x50"s;
    const Case cases[] = {
        {"no user: one method, no authentication, password not sent", "", "secret",
         "\x05\x01\x00"s + connect},
        {"user and password", "alice", "s3cret",
         "\x05\x01\x02\x01\x05"
         "alice\x06s3cret"s +
             connect},
        {"user with an empty password", "alice", "",
         "\x05\x01\x02\x01\x05"
         "alice\x00"s +
             connect},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProxyScript script;
        if (!c.user.empty()) script.methodReply = "\x05\x02"s;
        ScriptedServer proxy(Proxy(script));
        HttpResult result =
            HttpClient(TestLimits()).Get(kUpdateUrl, ProxyAt(proxy.port(), c.user, c.password));
        ASSERT_TRUE(result.Ok()) << result.error.text;
        EXPECT_EQ(result.body, kDocument);
        std::vector<std::string> received = WaitForSessions(proxy, 1);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0], c.negotiation + kRequest);
    }
}

TEST(Socks5Client, ReadsTheBoundAddressByItsType) {
    const std::string replies[] = {
        "\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38"s,
        "\x05\x00\x00\x03\x0bproxy.local\x04\x38"s,
        "\x05\x00\x00\x04"s + std::string(15, '\0') + "\x01\x04\x38"s,
    };
    for (const std::string& reply : replies) {
        SCOPED_TRACE(static_cast<int>(reply[3]));
        ProxyScript script;
        script.connectReply = reply;
        script.responseWithReply = true;
        ScriptedServer proxy(Proxy(script));
        HttpResult result = HttpClient(TestLimits()).Get(kUpdateUrl, ProxyAt(proxy.port()));
        ASSERT_TRUE(result.Ok()) << result.error.text;
        EXPECT_EQ(result.body, kDocument);
    }
}

TEST(Socks5Client, EachFailureOfTheProxy) {
    struct Case {
        const char* name;
        ProxyScript script;
        std::string user;
        NetErrorKind kind;
        const char* text;
    };
    auto with = [](auto change) {
        ProxyScript s;
        change(s);
        return s;
    };
    std::vector<Case> cases = {
        {"no acceptable method", with([](ProxyScript& s) { s.methodReply = "\x05\xff"s; }), "",
         NetErrorKind::ProxyRefused, "requires authentication"},
        {"a method that was not offered", with([](ProxyScript& s) { s.methodReply = "\x05\x02"s; }),
         "", NetErrorKind::ProxyRefused, "not offered"},
        {"not SOCKS5", with([](ProxyScript& s) { s.methodReply = "\x04\x00"s; }), "",
         NetErrorKind::ProxyRefused, "not SOCKS version 5"},
        {"wrong password", with([](ProxyScript& s) {
             s.methodReply = "\x05\x02"s;
             s.authReply = "\x01\x01"s;
         }),
         "alice", NetErrorKind::ProxyRefused, "user name or password"},
        {"unknown address type in the reply",
         with([](ProxyScript& s) { s.connectReply = "\x05\x00\x00\x09\x00\x00"s; }), "",
         NetErrorKind::ProxyRefused, "address type 9"},
        {"closes after the greeting", with([](ProxyScript& s) { s.methodReply = ""; }), "",
         NetErrorKind::ProxyNoReply, "not responding"},
        {"silent after the greeting", with([](ProxyScript& s) { s.methodReply = kSilent; }), "",
         NetErrorKind::ProxyNoReply, "not responding"},
        {"closes after the authentication", with([](ProxyScript& s) {
             s.methodReply = "\x05\x02"s;
             s.authReply = "";
         }),
         "alice", NetErrorKind::ProxyNoReply, "not responding"},
        {"silent after CONNECT", with([](ProxyScript& s) { s.connectReply = kSilent; }), "",
         NetErrorKind::ProxyNoReply, "not responding"},
        {"stops in the middle of the bound address",
         with([](ProxyScript& s) { s.connectReply = "\x05\x00\x00\x01\x7f"s; }), "",
         NetErrorKind::ProxyNoReply, "not responding"},
    };
    for (std::uint8_t code = 1; code <= 8; ++code) {
        // Only the reply code: the refusal counts without waiting for the rest.
        cases.push_back({"CONNECT refused", with([code](ProxyScript& s) {
                             s.connectReply = "\x05"s + static_cast<char>(code);
                         }),
                         "", NetErrorKind::ProxyRefused, ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer proxy(Proxy(c.script));
        const auto start = Clock::now();
        HttpResult result =
            HttpClient(TestLimits()).Get(kUpdateUrl, ProxyAt(proxy.port(), c.user, "pw"));
        ASSERT_FALSE(result.Ok());
        EXPECT_EQ(result.error.kind, c.kind);
        EXPECT_EQ(result.error.code, 0);
        EXPECT_FALSE(result.error.CarriesSocketCode());
        EXPECT_NE(result.error.text.find(c.text), std::string::npos) << result.error.text;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    }
}

TEST(Socks5Client, ReachingTheProxyFailsWithTheSocketNumber) {
    HttpResult refused = HttpClient(TestLimits()).Get(kUpdateUrl, ProxyAt(testing::UnusedPort()));
    EXPECT_EQ(refused.error.kind, NetErrorKind::Socket);
    EXPECT_EQ(refused.error.code, ECONNREFUSED);

    HttpResult unresolved =
        HttpClient(TestLimits())
            .Get(kUpdateUrl, Socks5Proxy{"no-such-proxy.invalid", 1080, "", ""});
    EXPECT_EQ(unresolved.error.kind, NetErrorKind::Resolve);
    EXPECT_NE(unresolved.error.code, 0);
}

TEST(Socks5Client, RefusesSettingsSocks5CannotCarryBeforeConnecting) {
    ScriptedServer proxy(Proxy(ProxyScript{}));
    const std::string longText(256, 'x');
    const Socks5Proxy proxies[] = {
        ProxyAt(proxy.port(), longText, "pw"),
        ProxyAt(proxy.port(), "alice", longText),
        Socks5Proxy{"127.0.0.1", 0, "", ""},
        Socks5Proxy{"127.0.0.1", 65536 + proxy.port(), "", ""},  // would wrap to the proxy's port
        Socks5Proxy{"127.0.0.1", -1, "", ""},
    };
    for (const Socks5Proxy& p : proxies) {
        HttpResult result = HttpClient(TestLimits()).Get(kUpdateUrl, p);
        EXPECT_EQ(result.error.kind, NetErrorKind::InvalidArgument) << result.error.text;
    }
    EXPECT_EQ(proxy.Connections(), 0u);
}

// --- A real proxy --------------------------------------------------------------

ScriptedServer::Session Serve() {
    return [](ServerConnection& c) {
        c.ReadUntil("\r\n\r\n");
        c.Write(kResponse);
        c.WaitForClientClose();
    };
}

std::string TargetUrl(const ScriptedServer& server) {
    // microsocks resolves "localhost" to ::1 first; the target is named by its
    // IPv4 address, which the proxy resolves (address type 3 all the same).
    return "http://127.0.0.1:" + std::to_string(server.port()) + "/versions/versions.xml";
}

TEST(Microsocks, WithoutAuthentication) {
    auto socks = Microsocks::Start();
    if (!socks) GTEST_SKIP() << "microsocks is not installed (scripts/setup.sh installs it)";
    ScriptedServer server(Serve());
    HttpResult result = HttpClient(TestLimits()).Get(TargetUrl(server), ProxyAt(socks->port()));
    ASSERT_TRUE(result.Ok()) << result.error.text;
    EXPECT_EQ(result.body, kDocument);
    std::vector<std::string> requests = WaitForSessions(server, 1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].find("GET /versions/versions.xml HTTP/1.1\r\nHost: 127.0.0.1:"), 0u);

    // The server's port has nothing behind it now: the proxy's refusal.
    const std::uint16_t closed = testing::UnusedPort();
    HttpResult refused =
        HttpClient(TestLimits())
            .Get("http://127.0.0.1:" + std::to_string(closed) + "/", ProxyAt(socks->port()));
    EXPECT_EQ(refused.error.kind, NetErrorKind::ProxyRefused) << refused.error.text;
}

TEST(Microsocks, WithUserAndPassword) {
    auto socks = Microsocks::Start("alice", "s3cret");
    if (!socks) GTEST_SKIP() << "microsocks is not installed (scripts/setup.sh installs it)";
    ScriptedServer server(Serve());
    struct Case {
        const char* name;
        std::string user;
        std::string password;
        bool ok;
    };
    const Case cases[] = {
        {"right password", "alice", "s3cret", true},
        {"wrong password", "alice", "wrong", false},
        {"no user name", "", "s3cret", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResult result = HttpClient(TestLimits())
                                .Get(TargetUrl(server), ProxyAt(socks->port(), c.user, c.password));
        EXPECT_EQ(result.Ok(), c.ok) << result.error.text;
        if (c.ok) {
            EXPECT_EQ(result.body, kDocument);
        } else {
            EXPECT_EQ(result.error.kind, NetErrorKind::ProxyRefused) << result.error.text;
        }
    }
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

TEST(Microsocks, AProxyGivenByNameIsReachedByItsWorkingAddress) {
    auto socks = Microsocks::Start();
    if (!socks) GTEST_SKIP() << "microsocks is not installed (scripts/setup.sh installs it)";
    ScriptedServer server(Serve());
    testing::BlackHole hole("127.0.0.2", socks->port());
    HttpLimits limits;
    limits.wait = limits.total = std::chrono::seconds(10);
    NameResolver resolver = [](const std::string& host, std::vector<std::string>& found) {
        if (host != "proxy.test") return MakeNetError(NetErrorKind::Resolve, "unknown " + host, -2);
        found = {"127.0.0.2", "127.0.0.1"};
        return NetError{};
    };
    HttpResult result =
        HttpClient(limits, resolver)
            .Get(TargetUrl(server), Socks5Proxy{"proxy.test", socks->port(), {}, {}});
    ASSERT_TRUE(result.Ok()) << result.error.text;
    EXPECT_EQ(result.body, kDocument);
}

TEST(Microsocks, OverIpv6) {
    auto socks = Microsocks::Start({}, {}, "::1");
    if (!socks) GTEST_SKIP() << "microsocks is not installed or ::1 is missing";
    ScriptedServer server4(Serve());
    ScriptedServer server6(Serve(), "::1");
    struct Case {
        const char* name;
        std::string url;
    };
    const Case cases[] = {
        {"IPv4 target", TargetUrl(server4)},
        {"IPv6 target by its literal",
         "http://[::1]:" + std::to_string(server6.port()) + "/versions/versions.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResult result =
            HttpClient(TestLimits()).Get(c.url, Socks5Proxy{"::1", socks->port(), {}, {}});
        ASSERT_TRUE(result.Ok()) << result.error.text;
        EXPECT_EQ(result.body, kDocument);
    }
    EXPECT_EQ(WaitForSessions(server6, 1).size(), 1u);
}

}  // namespace
}  // namespace tarnwell
