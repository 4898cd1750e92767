// The request the client sends and the response reader, on bytes alone.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/http_request.h"
#include "net/http_response_reader.h"

namespace tarnwell {
namespace {

TEST(HttpRequest, IsExactlyTheRequestLineAndThreeHeaderLines) {
    auto url = ParseHttpUrl("http://updates.example/versions/versions.xml");
    ASSERT_TRUE(url);
    EXPECT_EQ(BuildGetRequest(*url),
              "GET /versions/versions.xml HTTP/1.1\r\n"
              "Host: updates.example\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "\r\n");
}

TEST(HttpRequest, ParsesAddresses) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* target;
        const char* hostHeader;
    };
    const Case cases[] = {
        {"http://updates.example/versions/versions.xml", "updates.example", 80,
         "/versions/versions.xml", "updates.example"},
        {"HTTP://Updates.Example", "Updates.Example", 80, "/", "Updates.Example"},
        {"http://127.0.0.1:8080/a?b=c#frag", "127.0.0.1", 8080, "/a?b=c", "127.0.0.1:8080"},
        {"http://host:80/x", "host", 80, "/x", "host"},
        {"http://[::1]:81/x", "::1", 81, "/x", "[::1]:81"},
        {"http://host?q", "host", 80, "/?q", "host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        auto url = ParseHttpUrl(c.url);
        ASSERT_TRUE(url);
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->target, c.target);
        EXPECT_EQ(HostHeaderValue(*url), c.hostHeader);
    }
    for (const char* bad :
         {"https://host/", "ftp://host/", "http://", "http://user:pw@host/", "http://host:0/",
          "http://host:65536/", "http://host:/", "http://host:8x/", "http://[::1/", "http://ho st/",
          "http://host/a b", "http://host/a\r\nX-Injected: 1"}) {
        EXPECT_FALSE(ParseHttpUrl(bad)) << bad;
    }
}

// Feeds `input` in pieces of `piece` bytes (all at once when 0), then the close.
HttpResponseReader Read(const std::string& input, std::size_t piece = 0, bool close = true,
                        std::size_t maxHeader = kMaxHeaderBytes,
                        std::size_t maxBody = kMaxBodyBytes) {
    HttpResponseReader reader(maxHeader, maxBody);
    if (piece == 0) piece = input.size() + 1;
    for (std::size_t i = 0; i < input.size() && reader.State() == ReaderState::NeedMore;
         i += piece) {
        reader.Feed(std::string_view(input).substr(i, piece));
    }
    if (close) reader.Finish();
    return reader;
}

struct GoodCase {
    const char* name;
    std::string response;
    bool needsClose;  // the body ends only when the server closes
    std::string body;
};

TEST(HttpResponseReader, ReadsEachFramingWhateverTheReadsSplit) {
    const std::vector<GoodCase> cases = {
        {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, "hello"},
        {"content length, bytes after it ignored",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", false, "he"},
        {"repeated equal content length",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\ncontent-length: 003\r\n\r\nabc", false, "abc"},
        {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, ""},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, ""},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5\r\nhello\r\n6;name=value\r\n world\r\n0\r\nX-Trailer: 1\r\n\r\n",
         false, "hello world"},
        {"chunked wins over content length",
         "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: Chunked\r\n\r\n"
         "A\r\n0123456789\r\n0\r\n\r\n",
         false, "0123456789"},
        {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", false, "ok"},
        {"close delimited", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nuntil close", true, "until close"},
        {"interim response skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", false, "x"},
        {"status line without reason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\nx", false, "x"},
        {"folded header line", "HTTP/1.1 200 OK\r\nX-Long: a\r\n b\r\nContent-Length: 1\r\n\r\nx",
         false, "x"},
    };
    for (const GoodCase& c : cases) {
        for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            HttpResponseReader open = Read(c.response, piece, false);
            EXPECT_EQ(open.State(), c.needsClose ? ReaderState::NeedMore : ReaderState::Done);
            HttpResponseReader closed = Read(c.response, piece, true);
            ASSERT_EQ(closed.State(), ReaderState::Done) << closed.Error().text;
            EXPECT_EQ(closed.Body(), c.body);
        }
    }
}

struct BadCase {
    const char* name;
    std::string response;
    NetErrorKind kind;
    int code;
    const char* text;  // a part of the failure's text
};

TEST(HttpResponseReader, FailsClearly) {
    const std::string mib2(2 * 1024 * 1024, 'x');
    const std::vector<BadCase> cases = {
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!",
         NetErrorKind::HttpStatus, 404, "HTTP/1.1 404 Not Found"},
        {"redirect", "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\n\r\n",
         NetErrorKind::HttpStatus, 302, "HTTP/1.1 302 Found"},
        {"server error", "HTTP/1.0 500 Internal Server Error\r\n\r\n", NetErrorKind::HttpStatus,
         500, "500 Internal Server Error"},
        {"switching protocols", "HTTP/1.1 101 Switching Protocols\r\n\r\n",
         NetErrorKind::HttpStatus, 101, "101"},
        {"no answer", "", NetErrorKind::Protocol, 0, "without answering"},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", NetErrorKind::Protocol, 0, "not HTTP"},
        {"http/2 status line", "HTTP/2 200 OK\r\n\r\n", NetErrorKind::Protocol, 0, "not HTTP"},
        {"status of two digits", "HTTP/1.1 20 OK\r\n\r\n", NetErrorKind::Protocol, 0, "not HTTP"},
        {"headers cut off", "HTTP/1.1 200 OK\r\nContent-Len", NetErrorKind::Protocol, 0,
         "headers were complete"},
        {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", NetErrorKind::Protocol, 0,
         "malformed headers"},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", NetErrorKind::Protocol,
         0, "Content-Length"},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
         NetErrorKind::Protocol, 0, "conflicting"},
        {"body cut off", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",
         NetErrorKind::Protocol, 0, "whole response"},
        {"chunk cut off", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
         NetErrorKind::Protocol, 0, "whole response"},
        {"last chunk missing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n",
         NetErrorKind::Protocol, 0, "whole response"},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
         NetErrorKind::Protocol, 0, "chunk size"},
        {"chunk size overflow",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000000000000000\r\n",
         NetErrorKind::Protocol, 0, "chunk size"},
        {"chunk longer than its size",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nxy\r\n0\r\n\r\n",
         NetErrorKind::Protocol, 0, "longer than its size"},
        {"compressed transfer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
         NetErrorKind::Protocol, 0, "transfer coding"},
        {"chunked not last", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n",
         NetErrorKind::Protocol, 0, "transfer coding"},
        {"declared length over the cap", "HTTP/1.1 200 OK\r\nContent-Length: 2097152\r\n\r\n",
         NetErrorKind::TooLarge, 0, "1024 KiB"},
        {"huge declared length",
         "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
         NetErrorKind::TooLarge, 0, "1024 KiB"},
        {"close delimited over the cap", "HTTP/1.1 200 OK\r\n\r\n" + mib2, NetErrorKind::TooLarge,
         0, "1024 KiB"},
        {"chunk over the cap", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n200000\r\n",
         NetErrorKind::TooLarge, 0, "1024 KiB"},
        {"headers over the cap",
         "HTTP/1.1 200 OK\r\nX-Big: " + std::string(70 * 1024, 'h') + "\r\n\r\n",
         NetErrorKind::TooLarge, 0, "64 KiB"},
        {"trailer over the cap",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nX: " +
             std::string(70 * 1024, 't') + "\r\n\r\n",
         NetErrorKind::TooLarge, 0, "64 KiB"},
        {"chunk size line without end",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(8192, 'e'),
         NetErrorKind::Protocol, 0, "chunk size"},
    };
    for (const BadCase& c : cases) {
        for (std::size_t piece : {std::size_t{0}, std::size_t{5}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            HttpResponseReader reader = Read(c.response, piece);
            ASSERT_EQ(reader.State(), ReaderState::Failed);
            EXPECT_EQ(reader.Error().kind, c.kind);
            EXPECT_EQ(reader.Error().code, c.code);
            EXPECT_NE(reader.Error().text.find(c.text), std::string::npos) << reader.Error().text;
            EXPECT_FALSE(reader.Error().CarriesSocketCode());
            EXPECT_TRUE(reader.Body().empty());
        }
    }
}

TEST(HttpResponseReader, AcceptsABodyOfExactlyTheCap) {
    const std::string body(kMaxBodyBytes, 'b');
    for (const std::string& head :
         {std::string("HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n"),
          std::string("HTTP/1.1 200 OK\r\n\r\n")}) {
        HttpResponseReader reader = Read(head + body, 65536);
        ASSERT_EQ(reader.State(), ReaderState::Done) << reader.Error().text;
        EXPECT_EQ(reader.Body().size(), kMaxBodyBytes);
    }
}

}  // namespace
}  // namespace tarnwell
