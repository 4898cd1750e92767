// The SOCKS5 messages the client sends and its readers of the proxy's replies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/socks5.h"

namespace tarnwell {
namespace {

using namespace std::string_literals;

TEST(Socks5Messages, OfferExactlyOneMethod) {
    EXPECT_EQ(BuildSocksGreeting(false), "\x05\x01\x00"s);
    EXPECT_EQ(BuildSocksGreeting(true), "\x05\x01\x02"s);
}

TEST(Socks5Messages, AuthenticationCarriesAtMost255BytesEach) {
    std::string request;
    ASSERT_TRUE(BuildSocksAuthRequest("user", "", request).Ok());
    EXPECT_EQ(request, "\x01\x04user\x00"s);

    const std::string max(255, 'u');
    ASSERT_TRUE(BuildSocksAuthRequest(max, max, request).Ok());
    EXPECT_EQ(request, "\x01\xff"s + max + "\xff"s + max);

    const std::string over(256, 'u');
    for (auto [user, password] : {std::pair{over, max}, std::pair{max, over}}) {
        NetError e = BuildSocksAuthRequest(user, password, request);
        EXPECT_EQ(e.kind, NetErrorKind::InvalidArgument);
        EXPECT_NE(e.text.find("255 bytes"), std::string::npos) << e.text;
    }
}

TEST(Socks5Messages, ConnectNamesTheHostAsGiven) {
    std::string request;
    ASSERT_TRUE(BuildSocksConnectRequest("updates.example", 80, request).Ok());
    EXPECT_EQ(request, "\x05\x01\x00\x03\x0fupdates.example\x00\x50"s);
    ASSERT_TRUE(BuildSocksConnectRequest("127.0.0.1", 0x1234, request).Ok());
    EXPECT_EQ(request,
              "\x05\x01\x00\x03\x09"
              "127.0.0.1\x12\x34"s);
    EXPECT_EQ(BuildSocksConnectRequest("", 80, request).kind, NetErrorKind::InvalidArgument);
    EXPECT_EQ(BuildSocksConnectRequest(std::string(256, 'h'), 80, request).kind,
              NetErrorKind::InvalidArgument);
}

TEST(Socks5Messages, MethodAndAuthenticationReplies) {
    struct Case {
        std::string reply;
        std::uint8_t offered;
        bool ok;
    };
    const Case methodCases[] = {
        {"\x05\x00"s, kSocksMethodNone, true},
        {"\x05\x02"s, kSocksMethodUserPassword, true},
        {"\x05\xff"s, kSocksMethodNone, false},
        {"\x05\xff"s, kSocksMethodUserPassword, false},
        {"\x05\x02"s, kSocksMethodNone, false},  // a method that was not offered
        {"\x05\x00"s, kSocksMethodUserPassword, false},
        {"\x04\x00"s, kSocksMethodNone, false},
        {"\x05"s, kSocksMethodNone, false},
    };
    for (const Case& c : methodCases) {
        NetError e = CheckSocksMethodReply(c.reply, c.offered);
        EXPECT_EQ(e.Ok(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(e.kind, NetErrorKind::ProxyRefused);
        }
    }
    EXPECT_TRUE(CheckSocksAuthReply("\x01\x00"s).Ok());
    EXPECT_TRUE(CheckSocksAuthReply("\x05\x00"s).Ok());
    EXPECT_EQ(CheckSocksAuthReply("\x01\x01"s).kind, NetErrorKind::ProxyRefused);
    EXPECT_EQ(CheckSocksAuthReply("\x02\x00"s).kind, NetErrorKind::ProxyRefused);
}

// Feeds the reader only what it asks for, in pieces of `piece`, and returns
// what it left unread.
std::string Feed(Socks5ReplyReader& reader, const std::string& bytes, std::size_t piece) {
    std::string_view rest(bytes);
    while (reader.Needed() > 0 && !rest.empty()) {
        std::size_t want = std::min({reader.Needed(), piece, rest.size()});
        std::size_t took = reader.Feed(rest.substr(0, want));
        // A failure takes only the bytes up to the one that decided it.
        if (reader.State() != ReaderState::Failed) {
            EXPECT_EQ(took, want);
        }
        rest.remove_prefix(took);
    }
    return std::string(rest);
}

TEST(Socks5ReplyReader, ReadsTheBoundAddressByItsTypeAndNoFurther) {
    struct Case {
        std::string reply;
        std::uint8_t type;
        std::string address;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90"s, 1, "\x7f\x00\x00\x01"s, 8080},
        {"\x05\x00\x00\x03\x0bproxy.local\x00\x50"s, 3, "proxy.local", 80},
        {"\x05\x00\x00\x03\x00\x00\x50"s, 3, "", 80},
        {"\x05\x00\x00\x04"s + std::string(15, '\0') + "\x01\x04\x38"s, 4,
         std::string(15, '\0') + "\x01", 1080},
    };
    const std::string after = "HTTP/1.1 200 OK\r\n";
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{4}, std::size_t{100}}) {
            Socks5ReplyReader reader;
            std::string rest = Feed(reader, c.reply + after, piece);
            ASSERT_EQ(reader.State(), ReaderState::Done);
            EXPECT_EQ(rest, after);
            EXPECT_EQ(reader.AddressType(), c.type);
            EXPECT_EQ(reader.BoundAddress(), c.address);
            EXPECT_EQ(reader.BoundPort(), c.port);
        }
    }
}

TEST(Socks5ReplyReader, RefusalsAndForeignReplies) {
    for (std::uint8_t code = 1; code <= 9; ++code) {
        Socks5ReplyReader reader;
        // A refusal counts as soon as its code is known; the proxy may close then.
        Feed(reader, "\x05"s + static_cast<char>(code), 1);
        ASSERT_EQ(reader.State(), ReaderState::Failed);
        EXPECT_EQ(reader.Error().kind, NetErrorKind::ProxyRefused);
        EXPECT_NE(reader.Error().text.find(SocksReplyText(code)), std::string::npos)
            << reader.Error().text;
        EXPECT_EQ(reader.Needed(), 0u);
    }
    EXPECT_EQ(SocksReplyText(5), "connection refused");
    EXPECT_EQ(SocksReplyText(0x2a), "unknown reply code 42");

    for (const std::string& reply : {"\x04\x5a"s, "\x05\x00\x00\x09"s, "HTTP/1.1"s}) {
        Socks5ReplyReader reader;
        Feed(reader, reply, 8);
        EXPECT_EQ(reader.State(), ReaderState::Failed);
        EXPECT_EQ(reader.Error().kind, NetErrorKind::ProxyRefused);
    }
}

}  // namespace
}  // namespace tarnwell
