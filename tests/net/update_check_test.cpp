// The update check's rules that no window holds: the version number as the
// maker writes it, the download address, the time limit.

#include "net/update_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarnwell {
namespace {

TEST(UpdateCheck, ReadsTheVersionNumber) {
    struct Case {
        const char* text;
        const char* separator;  // the region's
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.1", ".", 1.1},
        {"1,2", ",", 1.2},
        // The maker writes the document, not the user's region: "." always counts.
        {"1.2", ",", 1.2},
        {"1,2", ".", std::nullopt},
        {"1.2,3", ",", std::nullopt},  // still one separator at most
        {"1,2.3", ",", std::nullopt},
        {"  +1.5e1  ", ".", 15},
        {"-0.9", ".", -0.9},
        {"1.", ".", 1},
        {".5", ",", 0.5},
        {"2E-1", ".", 0.2},
        {"1.2.3", ".", std::nullopt},
        {"1e", ".", std::nullopt},
        {".", ".", std::nullopt},
        {"", ".", std::nullopt},
        {"1 .2", ".", std::nullopt},
        // A pretty-printed document puts line breaks and indentation around it.
        {"\n\t1.2\n  ", ".", 1.2},
        {"0x10", ".", std::nullopt},
        {"1e999", ".", std::nullopt},
        {"1\xc2\xa0"
         "2",
         "\xc2\xa0", 1.2},  // a separator of more than one byte
        {"1.2", "", 1.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " | " + c.separator);
        EXPECT_EQ(ParseVersionNumber(c.text, c.separator), c.value);
    }
}

TEST(UpdateCheck, DownloadAddresses) {
    struct Case {
        const char* document;  // the URL element's text
        const char* address;   // what DownloadURL becomes
        bool openable;
    };
    const Case cases[] = {
        {"http://dl.example/a.zip", "http://dl.example/a.zip", true},
        {"\n    https://dl.example/a b.zip\n  ", "https://dl.example/a b.zip", true},
        {"\tHTTPS://dl.example/b.zip\r\n", "HTTPS://dl.example/b.zip", true},
        {"ftp://dl.example/a.zip", "ftp://dl.example/a.zip", true},
        {"", "", true},
        {"  \n ", "", true},
        {"/usr/bin/xterm", "/usr/bin/xterm", false},
        {"--help", "--help", false},
        {"file:///etc/passwd", "file:///etc/passwd", false},
        {"javascript:alert(1)", "javascript:alert(1)", false},
        {"http:/dl.example/a.zip", "http:/dl.example/a.zip", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        const std::string address = TrimDownloadAddress(c.document);
        EXPECT_EQ(address, c.address);
        EXPECT_EQ(IsOpenableDownloadAddress(address), c.openable);
    }
    EXPECT_EQ(RefusedDownloadAddressText("file:///etc/passwd"),
              "The download address \"file:///etc/passwd\" was not opened: only http, https and "
              "ftp addresses are opened.");
}

TEST(UpdateCheck, TheWholeCheckHasOneLimitOfAtMostThirtySeconds) {
    EXPECT_EQ(UpdateCheckLimits().total, std::chrono::seconds(30));
    EXPECT_LE(UpdateCheckLimits().wait, UpdateCheckLimits().total);
    EXPECT_EQ(UpdateCheckLimits(std::chrono::seconds(2)).total, std::chrono::seconds(2));
    EXPECT_EQ(UpdateCheckLimits(std::chrono::minutes(5)).total, std::chrono::seconds(30));
}

}  // namespace
}  // namespace tarnwell
