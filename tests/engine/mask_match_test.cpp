#include "engine/mask_match.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace tarnwell {
namespace {

struct MaskCase {
    const char* mask;
    const char* name;
    bool matches;
};

TEST(MaskMatch, WildcardsDotsAndCaseQuirksIncluded) {
    const MaskCase cases[] = {
        // Empty, "*" and "*.*" match whatever the name holds, the empty name too.
        {"", "anything.txt", true},
        {"*", "sub\\a.txt", true},
        {"*.*", "Makefile", true},
        {"*.*", "", true},
        {"*.txt", "a.txt", true},
        {"*.txt", "A.TXT", true},
        {"*.txt", "sub\\b.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", "", false},
        // The name begins with its subfolder part.
        {"a*.txt", "sub\\a1.txt", false},
        {"report.doc", "Report.DOC", true},
        {"report.doc", "sub\\report.doc", false},
        // A name without a dot is matched with one appended.
        {"Makefile", "Makefile", false},
        {"Makefile.", "Makefile", true},
        {"Makefile*", "Makefile", true},
        {"*.", "Makefile", true},
        {"*.", "", true},
        {"*.", "a.txt", false},
        {"a?c", "abc", false},
        {"a?c.", "abc", true},
        // One mask only: ";" is an ordinary character.
        {"*.txt;*.doc", "a.txt", false},
        {"*.txt;*.doc", "a.doc", false},
        {"*.txt;*.doc", "a.txt;b.doc", true},
        // A "?" right behind a "*" is not retried at every position.
        {"*?x.txt", "axx.txt", false},
        {"*?x.txt", "aax.txt", true},
        {"*a*b", "x.axb", true},
        {"*a*b", "xaxb", false},  // matched as "XAXB."
        {"a*", "a.txt", true},
        {"?", "a", false},  // matched as "A."
        {"??", "a", true},
    };
    test::FakeSystemText text;
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(std::string("mask \"") + c.mask + "\", name \"" + c.name + "\"");
        EXPECT_EQ(IsFileNameMatch(c.name, c.mask, false, text), c.matches);
        FileNameMatcher matcher(c.mask, false, text);
        EXPECT_EQ(matcher.Matches(c.name), c.matches);
    }
}

TEST(MaskMatch, CaseSensitiveComparesBytesAsTheyAre) {
    test::FakeSystemText text;
    EXPECT_FALSE(IsFileNameMatch("a.txt", "*.TXT", true, text));
    EXPECT_TRUE(IsFileNameMatch("a.TXT", "*.TXT", true, text));
}

TEST(MaskMatch, ReusedMatcherKeepsNoTraceOfThePreviousName) {
    test::FakeSystemText text;
    FileNameMatcher matcher("*.", false, text);
    EXPECT_FALSE(matcher.Matches("a.txt"));
    EXPECT_TRUE(matcher.Matches("Makefile"));
    EXPECT_FALSE(matcher.Matches("b.doc"));
}

TEST(StrMatches, EdgesOfPatternTextAndStart) {
    EXPECT_FALSE(StrMatches("", "A", 1));
    EXPECT_TRUE(StrMatches("*", "", 1));
    EXPECT_FALSE(StrMatches("A", "", 1));
    EXPECT_FALSE(StrMatches("*A", "", 1));
    EXPECT_TRUE(StrMatches("BC", "ABC", 2));
    EXPECT_FALSE(StrMatches("ABC", "ABC", 2));
    EXPECT_TRUE(StrMatches("**", "ABC", 1));
    EXPECT_TRUE(StrMatches("A*", "A", 1));
    EXPECT_FALSE(StrMatches("A?", "A", 1));
    // Characters compare as 8-bit values.
    EXPECT_TRUE(StrMatches("*\xC3\x89.", "CAF\xC3\x89.", 1));
}

}  // namespace
}  // namespace tarnwell
