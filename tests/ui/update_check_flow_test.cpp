// The update check's flow with plain fakes of the About box, the versions
// reader and the exchange: what the box shows for each outcome and what
// escapes to the error display.

#include "ui/update_check_flow.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell {
namespace {

class FakeAboutBox : public AboutBoxView {
  public:
    std::vector<std::string> calls;
    void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
    void SetStatus2(const std::string& text) override { calls.push_back("status2 " + text); }
    void ShowDownload(bool shown) override { calls.push_back(shown ? "download" : "no download"); }
    void ShowUpdateError(const std::string& text) override { calls.push_back("box " + text); }
    void BeginWait() override { calls.push_back("wait"); }
    void EndWait() override { calls.push_back("end wait"); }
};

class FakeReader : public VersionsReader {
  public:
    VersionsEntry entry;
    std::string body, product;
    VersionsEntry Read(const std::string& b, const std::string& p) override {
        body = b;
        product = p;
        return entry;
    }
};

HttpResult Body(std::string body) {
    HttpResult result;
    result.status = 200;
    result.body = std::move(body);
    return result;
}

HttpResult Failed(NetErrorKind kind, std::string text, int code = 0) {
    HttpResult result;
    result.error = MakeNetError(kind, std::move(text), code);
    return result;
}

VersionsEntry Found(std::string version, std::string url) {
    return VersionsEntry{VersionsEntry::Outcome::Found, "", std::move(version), std::move(url)};
}

TEST(UpdateCheck, WhatTheBoxShowsForEachOutcome) {
    struct Case {
        const char* name;
        HttpResult fetched;
        VersionsEntry entry;  // what the reader finds, when it is asked
        std::vector<std::string> calls;
        std::string url;      // the download address afterwards; "old" before
        std::string escapes;  // what reaches the error display; empty: nothing
    };
    const std::string newer = std::string("status2 ") + kNewerVersionText;
    const std::string same = std::string("status2 ") + kUpToDateText;
    const std::string checking = std::string("status ") + kCheckingText;
    const std::string fetchError = std::string("status ") + kFetchErrorText;
    const std::string errorBox =
        "box An Error occured whilst Checking for updates. \n\n Error Code : ";
    const Case cases[] = {
        {"newer, address trimmed",
         Body("<doc/>"),
         Found("1.2", "\n  http://x/new \n"),
         {"wait", checking, newer, "download", "status ", "end wait"},
         "http://x/new",
         ""},
        {"same",
         Body("<doc/>"),
         Found("1.1", "http://x/same"),
         {"wait", checking, same, "no download", "status ", "end wait"},
         "http://x/same",
         ""},
        {"older with spaces",
         Body("<doc/>"),
         Found(" 1.05 ", "u"),
         {"wait", checking, same, "no download", "status ", "end wait"},
         "u",
         ""},
        {"region's separator",
         Body("<doc/>"),
         Found("1,5", "u"),
         {"wait", checking, newer, "download", "status ", "end wait"},
         "u",
         ""},
        {"not a number",
         Body("<doc/>"),
         Found("1.2beta", "u"),
         {"wait", checking, fetchError, "end wait"},
         "old",
         ""},
        {"missing",
         Body("<doc/>"),
         VersionsEntry{},
         {"wait", checking, fetchError, "end wait"},
         "old",
         ""},
        // A failure of the connection shows its number; the status keeps
        // "Checking for Updates".
        {"connection refused",
         Failed(NetErrorKind::Socket, "refused", 10061),
         {},
         {"wait", checking, errorBox + "10061", "end wait"},
         "old",
         ""},
        {"name not resolved",
         Failed(NetErrorKind::Resolve, "unknown host", 11001),
         {},
         {"wait", checking, errorBox + "11001", "end wait"},
         "old",
         ""},
        // Other failures go to the error display with the status cleared.
        {"server answers 404",
         Failed(NetErrorKind::HttpStatus, "HTTP/1.1 404 Not Found", 404),
         {},
         {"wait", checking, "status ", "end wait"},
         "old",
         "HTTP/1.1 404 Not Found"},
        {"malformed document",
         Body("<"),
         VersionsEntry{VersionsEntry::Outcome::Malformed, "not XML", "", ""},
         {"wait", checking, "status ", "end wait"},
         "old",
         "not XML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAboutBox box;
        FakeReader reader;
        reader.entry = c.entry;
        std::string url = "old";
        std::string escaped;
        try {
            CheckForUpdates(
                box, reader, [&] { return c.fetched; }, ",", url);
        } catch (const std::runtime_error& error) {
            escaped = error.what();
        }
        EXPECT_EQ(box.calls, c.calls);
        EXPECT_EQ(url, c.url);
        EXPECT_EQ(escaped, c.escapes);
        // The reader is asked only when a document came.
        EXPECT_EQ(reader.body, c.fetched.Ok() ? c.fetched.body : "");
        EXPECT_EQ(reader.product, c.fetched.Ok() ? "Tarnwell" : "");
    }
}

TEST(UpdateCheck, TheVersionIsJudgedBeforeTheUrl) {
    using Outcome = VersionsEntry::Outcome;
    const auto urlMalformed = [](std::string version) {
        VersionsEntry entry{Outcome::Malformed, kElementNotSingleText, std::move(version), ""};
        entry.urlMalformed = true;
        return entry;
    };
    const struct {
        const char* name;
        VersionsEntry entry;
        Outcome outcome;
        double version;
    } cases[] = {
        {"found", Found(" 1.5 ", "u"), Outcome::Found, 1.5},
        {"no number", Found("1.5 beta", "u"), Outcome::Missing, 0},
        {"missing", VersionsEntry{}, Outcome::Missing, 0},
        {"Version malformed", VersionsEntry{Outcome::Malformed, "e", "", ""}, Outcome::Malformed,
         0},
        {"URL malformed", urlMalformed("1.5"), Outcome::Malformed, 0},
        {"URL malformed, Version no number", urlMalformed("new"), Outcome::Missing, 0},
        {"URL malformed, Version empty", urlMalformed(""), Outcome::Missing, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double version = 0;
        EXPECT_EQ(JudgeVersionsEntry(c.entry, ".", version), c.outcome);
        EXPECT_EQ(version, c.version);
    }
}

TEST(UpdateCheck, Address) {
    EXPECT_EQ(UpdateAddress({}), "http://updates.tarnwell.example.org/versions/versions.xml");
    EXPECT_EQ(UpdateAddress({"::1", 8080}), "http://[::1]:8080/versions/versions.xml");
    EXPECT_EQ(UpdateAddress({"127.0.0.1", 80}), "http://127.0.0.1/versions/versions.xml");
}

}  // namespace
}  // namespace tarnwell
