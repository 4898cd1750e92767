// The HTTP client against a real server on 127.0.0.1, started by the test.

#include "net/http_client.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/loopback_servers.h"

namespace tarnwell {
namespace {

using testing::ScriptedServer;
using testing::ServerConnection;
using testing::TrickleAnswer;
using Clock = std::chrono::steady_clock;

std::string ExpectedRequest(std::uint16_t port) {
    return "GET /versions/versions.xml HTTP/1.1\r\n"
           "Host: 127.0.0.1:" +
           std::to_string(port) +
           "\r\n"
           "Accept: text/html, */*\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
           "\r\n";
}

std::string UrlOf(const ScriptedServer& server) {
    return "http://127.0.0.1:" + std::to_string(server.port()) + "/versions/versions.xml";
}

// Short waits so the failures that wait run quickly; long enough for any
// healthy exchange on loopback.
HttpLimits TestLimits(std::chrono::milliseconds wait = std::chrono::milliseconds(1500)) {
    HttpLimits limits;
    limits.wait = wait;
    limits.total = std::chrono::seconds(20);
    return limits;
}

// The server records a connection once its session has ended.
std::vector<std::string> WaitForSessions(const ScriptedServer& server, std::size_t count) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (server.Connections() < count && Clock::now() < end) {
        std::this_thread::yield();
    }
    return server.Received();
}

// Answers one request with `response`, then either closes or, when the response
// frames its own end, holds the connection until the client closes it.
ScriptedServer::Session Answer(std::string response, bool closeAfter) {
    return [response, closeAfter](ServerConnection& c) {
        c.ReadUntil("\r\n\r\n");
        c.Write(response);
        if (!closeAfter) c.WaitForClientClose();
    };
}

TEST(HttpClient, ReadsEachFramingAndSendsTheExactRequest) {
    struct Case {
        const char* name;
        std::string response;
        bool closeAfter;
    };
    const std::string document = "<ProductVersions/>";
    const Case cases[] = {
        // The server keeps these connections open: the client must stop at the
        // framed end rather than wait for a close.
        {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 18\r\n\r\n" + document, false},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "8\r\n<Product\r\na\r\nVersions/>\r\n0\r\n\r\n",
         false},
        {"close delimited", "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n" + document, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(Answer(c.response, c.closeAfter));
        const auto start = Clock::now();
        HttpResult result = HttpClient(TestLimits()).Get(UrlOf(server), std::nullopt);
        ASSERT_TRUE(result.Ok()) << result.error.text;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(result.body, document);
        // The client closed the connection after the response.
        std::vector<std::string> requests = WaitForSessions(server, 1);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], ExpectedRequest(server.port()));
    }
}

TEST(HttpClient, FailuresOfTheServerAreNotSocketFailures) {
    struct Case {
        const char* name;
        ScriptedServer::Session session;
        NetErrorKind kind;
        int code;
        const char* text;
    };
    const std::string mib2(2 * 1024 * 1024, 'x');
    std::string chunked2 = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 32; ++i) chunked2 += "10000\r\n" + std::string(65536, 'c') + "\r\n";
    chunked2 += "0\r\n\r\n";
    const Case cases[] = {
        {"not found", Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", true),
         NetErrorKind::HttpStatus, 404, "HTTP/1.1 404 Not Found"},
        {"redirect not followed",
         Answer("HTTP/1.1 302 Found\r\nLocation: /versions/other.xml\r\nContent-Length: 0\r\n\r\n",
                false),
         NetErrorKind::HttpStatus, 302, "HTTP/1.1 302 Found"},
        {"2 MiB by length",
         Answer("HTTP/1.1 200 OK\r\nContent-Length: 2097152\r\n\r\n" + mib2, true),
         NetErrorKind::TooLarge, 0, "larger than"},
        {"2 MiB by chunks", Answer(chunked2, true), NetErrorKind::TooLarge, 0, "larger than"},
        {"2 MiB until close", Answer("HTTP/1.1 200 OK\r\n\r\n" + mib2, true),
         NetErrorKind::TooLarge, 0, "larger than"},
        {"closes mid-body",
         Answer("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<ProductVersions>", true),
         NetErrorKind::Protocol, 0, "before the whole response"},
        {"closes without answering", [](ServerConnection& c) { c.ReadUntil("\r\n\r\n"); },
         NetErrorKind::Protocol, 0, "without answering"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.session);
        HttpResult result = HttpClient(TestLimits()).Get(UrlOf(server), std::nullopt);
        ASSERT_FALSE(result.Ok());
        EXPECT_EQ(result.error.kind, c.kind);
        EXPECT_EQ(result.error.code, c.code);
        EXPECT_FALSE(result.error.CarriesSocketCode());
        EXPECT_NE(result.error.text.find(c.text), std::string::npos) << result.error.text;
        EXPECT_TRUE(result.body.empty());
        // One request only: no redirect followed, no retry.
        EXPECT_EQ(WaitForSessions(server, 1).size(), 1u);
    }
}

TEST(HttpClient, FailuresOfTheConnectionCarryTheSocketNumber) {
    {
        SCOPED_TRACE("reset mid-body");
        ScriptedServer server([](ServerConnection& c) {
            c.ReadUntil("\r\n\r\n");
            c.Write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
            c.Reset();
        });
        HttpResult result = HttpClient(TestLimits()).Get(UrlOf(server), std::nullopt);
        EXPECT_EQ(result.error.kind, NetErrorKind::Socket);
        EXPECT_EQ(result.error.code, ECONNRESET);
        EXPECT_TRUE(result.error.CarriesSocketCode());
    }
    {
        SCOPED_TRACE("nothing listens");
        HttpResult result =
            HttpClient(TestLimits())
                .Get("http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/",
                     std::nullopt);
        EXPECT_EQ(result.error.kind, NetErrorKind::Socket);
        EXPECT_EQ(result.error.code, ECONNREFUSED);
    }
    {
        SCOPED_TRACE("the name does not resolve");
        HttpResult result =
            HttpClient(TestLimits())
                .Get("http://no-such-host.invalid/versions/versions.xml", std::nullopt);
        EXPECT_EQ(result.error.kind, NetErrorKind::Resolve);
        EXPECT_NE(result.error.code, 0);
        EXPECT_TRUE(result.error.CarriesSocketCode());
    }
}

TEST(HttpClient, AServerThatNeverAnswersTimesOut) {
    struct Case {
        const char* name;
        ScriptedServer::Session session;
        HttpLimits limits;
    };
    HttpLimits totalLimit = TestLimits(std::chrono::milliseconds(2000));
    totalLimit.total = std::chrono::milliseconds(600);
    const Case cases[] = {
        {"silent after the request",
         [](ServerConnection& c) {
             c.ReadUntil("\r\n\r\n");
             c.WaitForClientClose();
         },
         TestLimits(std::chrono::milliseconds(300))},
        // A byte now and then keeps each wait short; the limit of the whole
        // exchange still ends it.
        {"trickles its answer", &TrickleAnswer, totalLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.session);
        const auto start = Clock::now();
        HttpResult result = HttpClient(c.limits).Get(UrlOf(server), std::nullopt);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(result.error.kind, NetErrorKind::Socket);
        EXPECT_EQ(result.error.code, ETIMEDOUT);
        EXPECT_LT(elapsed, std::chrono::seconds(5));
    }
}

// A resolver that gives the same addresses for every name.
NameResolver Resolving(std::vector<std::string> addresses) {
    return [addresses](const std::string&, std::vector<std::string>& found) {
        found = addresses;
        return NetError{};
    };
}

TEST(HttpClient, AnAddressThatSwallowsTheConnectionDoesNotStopTheNext) {
    ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false));
    // Same port, other loopback addresses: one black hole per family, one
    // address where nothing listens.
    testing::BlackHole hole4("127.0.0.2", server.port());
    testing::BlackHole hole6("::1", server.port());
    const std::string url =
        "http://updates.test:" + std::to_string(server.port()) + "/versions/versions.xml";
    struct Case {
        const char* name;
        std::vector<std::string> addresses;
    };
    const Case cases[] = {
        {"dead IPv6 first", {"::1", "127.0.0.1"}},
        {"two dead addresses first", {"127.0.0.2", "::1", "127.0.0.1"}},
        {"refused first", {"127.0.0.3", "127.0.0.1"}},
        {"not an address first", {"updates.test", "127.0.0.1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each address alone could use up the whole limit.
        HttpLimits limits;
        limits.wait = limits.total = std::chrono::seconds(10);
        HttpResult result = HttpClient(limits, Resolving(c.addresses)).Get(url, std::nullopt);
        ASSERT_TRUE(result.Ok()) << result.error.text;
        EXPECT_EQ(result.body, "ok");
    }
}

TEST(HttpClient, OneLimitBoundsResolvingAndConnecting) {
    ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false));
    testing::BlackHole hole("127.0.0.2", server.port());
    const std::string url =
        "http://updates.test:" + std::to_string(server.port()) + "/versions/versions.xml";
    HttpLimits limits;
    limits.wait = std::chrono::seconds(10);
    limits.total = std::chrono::milliseconds(600);

    // A resolver that answers long after the limit, but does answer, so the
    // thread left waiting for it ends with the test.
    auto slow = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
    auto released = std::make_shared<bool>(false);
    NameResolver stuck = [slow, released](const std::string&, std::vector<std::string>& found) {
        std::unique_lock<std::mutex> lock(slow->first);
        slow->second.wait_for(lock, std::chrono::seconds(5), [&] { return *released; });
        found = {"127.0.0.1"};
        return NetError{};
    };
    struct Case {
        const char* name;
        NameResolver resolver;
    };
    const Case cases[] = {
        {"resolving never ends", stuck},
        {"the only address swallows the connection", Resolving({"127.0.0.2"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = Clock::now();
        HttpResult result = HttpClient(limits, c.resolver).Get(url, std::nullopt);
        EXPECT_EQ(result.error.kind, NetErrorKind::Socket) << result.error.text;
        EXPECT_EQ(result.error.code, ETIMEDOUT);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    }
    {
        std::lock_guard<std::mutex> lock(slow->first);
        *released = true;
    }
    slow->second.notify_all();

    NetError unknown = MakeNetError(NetErrorKind::Resolve, "Cannot resolve updates.test", -2);
    HttpResult result = HttpClient(limits, [&](const std::string&, std::vector<std::string>&) {
                            return unknown;
                        }).Get(url, std::nullopt);
    EXPECT_EQ(result.error.kind, NetErrorKind::Resolve);
    EXPECT_EQ(result.error.code, -2);
}

TEST(HttpClient, OverIpv6) {
    ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false), "::1");
    HttpResult result =
        HttpClient(TestLimits())
            .Get("http://[::1]:" + std::to_string(server.port()) + "/versions/versions.xml",
                 std::nullopt);
    ASSERT_TRUE(result.Ok()) << result.error.text;
    EXPECT_EQ(result.body, "ok");
    std::vector<std::string> requests = WaitForSessions(server, 1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].find("GET /versions/versions.xml HTTP/1.1\r\nHost: [::1]:"), 0u);
}

TEST(HttpClient, RefusesAnAddressItCannotFetch) {
    HttpResult result =
        HttpClient().Get("https://updates.example/versions/versions.xml", std::nullopt);
    EXPECT_EQ(result.error.kind, NetErrorKind::InvalidArgument);
    EXPECT_FALSE(result.error.CarriesSocketCode());
}

}  // namespace
}  // namespace tarnwell
