// The port text of the proxy dialog as a number, and the proxy the settings give.

#include <gtest/gtest.h>

#include "net/proxy_settings.h"

namespace tarnwell {
namespace {

TEST(ConvertPort, DecimalOrHexWithSignsStrayCharactersAndRange) {
    struct Case {
        const char* text;
        std::int32_t port;
    };
    const Case cases[] = {
        {"443", 443},
        {"   443", 443},
        {"443 ", 443},
        {"0x1BB", 443},
        {"$1F90", 8080},
        {"-1", -1},
        {"4x3", 4},
        {"-80a", 80},
        {"-$50", 0},
        {"abc", 0},
        {"", 0},
        // The prefixes and signs in their other spellings.
        {"0X1bb", 443},
        {"x50", 80},
        {"X50", 80},
        {"+8080", 8080},
        {"-1 ", 1},    // cut short by the space: the digits without the sign
        {"\t443", 0},  // only spaces are skipped
        {"0x", 0},
        {"$", 0},
        {"-", 0},
        {"0", 0},
        {"00080", 80},
        {"$1G", 1},
        {"0x-5", 0},
        // The 32-bit signed range, and beyond it.
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"99999999999999999999", 0},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", 0},
        {"$FFFFFFFF", 0},
        {"-2147483648a", 0},
        {"21474836470x", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertPort(c.text), c.port) << "\"" << c.text << "\"";
    }
}

TEST(ProxyFor, OnForAnyValueButZero) {
    ProxySettings settings{0, "proxy", 1080, "user", "pw"};
    EXPECT_FALSE(ProxyFor(settings));
    for (std::int32_t enabled : {1, 7, -1}) {
        settings.ProxyEnabled = enabled;
        auto proxy = ProxyFor(settings);
        ASSERT_TRUE(proxy);
        EXPECT_EQ(proxy->host, "proxy");
        EXPECT_EQ(proxy->port, 1080);
        EXPECT_EQ(proxy->user, "user");
        EXPECT_EQ(proxy->password, "pw");
    }
}

}  // namespace
}  // namespace tarnwell
