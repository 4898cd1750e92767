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

VersionsEntry Found(std::string version, std::string url) {
    return VersionsEntry{VersionsEntry::Outcome::Found, "", std::move(version), std::move(url)};
}

TEST(UpdateCheck, WhatTheBoxShowsForEachOutcome) {
    struct Case {
        const char* name;
        VersionsEntry entry;
        std::vector<std::string> calls;
        std::string url;
    };
    const std::string newer = std::string("status2 ") + kNewerVersionText;
    const std::string same = std::string("status2 ") + kUpToDateText;
    const std::string checking = std::string("status ") + kCheckingText;
    const Case cases[] = {
        {"newer, address trimmed",
         Found("1.2", "\n  http://x/new \n"),
         {"wait", checking, newer, "download", "status ", "end wait"},
         "http://x/new"},
        {"same",
         Found("1.1", "http://x/same"),
         {"wait", checking, same, "no download", "status ", "end wait"},
         "http://x/same"},
        {"older with spaces",
         Found(" 1.05 ", "u"),
         {"wait", checking, same, "no download", "status ", "end wait"},
         "u"},
        {"region's separator",
         Found("1,5", "u"),
         {"wait", checking, newer, "download", "status ", "end wait"},
         "u"},
        {"not a number",
         Found("1.2beta", "u"),
         {"wait", checking, std::string("status ") + kFetchErrorText, "end wait"},
         "old"},
        {"missing",
         VersionsEntry{},
         {"wait", checking, std::string("status ") + kFetchErrorText, "end wait"},
         "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAboutBox box;
        FakeReader reader;
        reader.entry = c.entry;
        std::string url = "old";
        CheckForUpdates(
            box, reader, [] { return Body("<doc/>"); }, ",", url);
        EXPECT_EQ(box.calls, c.calls);
        EXPECT_EQ(url, c.url);
        EXPECT_EQ(reader.body, "<doc/>");
        EXPECT_EQ(reader.product, "Tarnwell");
    }
}

TEST(UpdateCheck, FailuresOfTheConnectionShowTheirNumber) {
    FakeAboutBox box;
    FakeReader reader;
    std::string url = "kept";
    CheckForUpdates(
        box, reader,
        [] {
            HttpResult failed;
            failed.error = MakeNetError(NetErrorKind::Socket, "refused", 10061);
            return failed;
        },
        ".", url);
    EXPECT_EQ(box.calls, (std::vector<std::string>{
                             "wait", std::string("status ") + kCheckingText,
                             "box An Error occured whilst Checking for updates. \n\n Error Code : "
                             "10061",
                             "end wait"}));
    EXPECT_EQ(url, "kept");
}

TEST(UpdateCheck, OtherFailuresGoToTheErrorDisplayWithTheStatusCleared) {
    FakeAboutBox box;
    FakeReader reader;
    std::string url;
    HttpResult notFound;
    notFound.error = MakeNetError(NetErrorKind::HttpStatus, "HTTP/1.1 404 Not Found");
    EXPECT_THROW(CheckForUpdates(
                     box, reader, [&] { return notFound; }, ".", url),
                 std::runtime_error);
    EXPECT_EQ(box.calls, (std::vector<std::string>{"wait", std::string("status ") + kCheckingText,
                                                   "status ", "end wait"}));

    FakeAboutBox second;
    reader.entry = VersionsEntry{VersionsEntry::Outcome::Malformed, "not XML", "", ""};
    try {
        CheckForUpdates(
            second, reader, [] { return Body("<"); }, ".", url);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "not XML");
    }
    EXPECT_EQ(second.calls.back(), "end wait");
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
