// Text conversion, upper-casing for masks, path syntax and regional settings
// of the Linux platform layer.

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "engine/time_stamp.h"
#include "platform/decimal_separator.h"
#include "platform/linux/langinfo_settings.h"
#include "platform/linux/utf8.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"

namespace tarnwell {
namespace {

TEST(LinuxSystemText, Utf16ToUtf8MarksEachUnconvertibleUnit) {
    struct Case {
        std::u16string in;
        std::string out;
    } cases[] = {
        {u"", ""},
        {u"a.txt", "a.txt"},
        {u"caf\u00e9", "caf\xc3\xa9"},
        {u"d\u00e9j\u00e0 vu.txt", "d\xc3\xa9j\xc3\xa0 vu.txt"},  // ASCII runs around others
        {u"\U0001F600", "\xf0\x9f\x98\x80"},
        {std::u16string{u'a', char16_t(0xD800), u'b'}, "a?b"},       // high surrogate alone
        {std::u16string{char16_t(0xDC00), char16_t(0xD83D)}, "??"},  // wrong order
    };
    const auto text = MakeSystemText();
    for (const Case& c : cases) EXPECT_EQ(text->FromUtf16(c.in.data(), c.in.size()), c.out);
}

TEST(LinuxSystemText, FileNameBytesBecomeUtf16WithOneMarkPerBadByte) {
    struct Case {
        std::string in;
        std::u16string out;
    } cases[] = {
        {"plain", u"plain"},
        {"sub/caf\xc3\xa9", u"sub/caf\u00e9"},
        {"x\xc3\xa9y\xff"
         "z.txt",
         u"x\u00e9y\xdcffz.txt"},  // ASCII runs between a letter and a bad byte
        {"\xf0\x9f\x98\x80", u"\U0001F600"},
        {"a\xff"
         "b",
         u"a\xdcff"
         u"b"},
        {"\xc3", u"\xdcc3"},                      // cut short
        {"\xc0\xaf", u"\xdcc0\xdcaf"},            // overlong "/"
        {"\xed\xa0\x80", u"\xdced\xdca0\xdc80"},  // an encoded surrogate
        {"\xe2\x82"
         "x",
         u"\xdce2\xdc82"
         u"x"},  // a sequence broken off by an ASCII byte
    };
    // Each bad byte travels as U+DC00 + byte: shown as "?", and given back
    // whole for looking the file up.
    const auto text = MakeSystemText();
    for (const Case& c : cases) {
        const std::u16string units = BytesToUtf16(c.in);
        EXPECT_EQ(units, c.out) << c.in;
        EXPECT_EQ(text->LookupName(units.data(), units.size()), c.in);
        const std::string shown = text->FromUtf16(units.data(), units.size());
        const std::size_t bad = static_cast<std::size_t>(std::count_if(
            c.out.begin(), c.out.end(), [](char16_t u) { return u >= 0xDC80 && u <= 0xDCFF; }));
        EXPECT_EQ(static_cast<std::size_t>(std::count(shown.begin(), shown.end(), '?')), bad)
            << c.in;
    }
}

TEST(LinuxSystemText, UpperCaseIsUnicodeAwareAndLeavesBadBytes) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"report.doc", "REPORT.DOC"},
        {"\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89"},  // été -> ÉTÉ
        {"\xce\xb1\xce\xb2", "\xce\x91\xce\x92"},    // αβ -> ΑΒ
        {"\xd0\xb6", "\xd0\x96"},                    // ж -> Ж
        {"*.\xc3\xa9"
         "a?",
         "*.\xc3\x89"
         "A?"},  // wildcards untouched
        {"a\xff"
         "b",
         "A\xff"
         "B"},
    };
    const auto text = MakeSystemText();
    for (const Case& c : cases) {
        std::string s = c.in;
        text->ToUpper(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
}

TEST(LinuxPathSyntax, SlashSeparatesAndFoldersAreFoundByStat) {
    EXPECT_EQ(NativePathSyntax().delimiters, "/");
    EXPECT_EQ(NativePathSyntax().separator, '/');
    EXPECT_TRUE(IsExistingDirectory("/tmp"));
    EXPECT_TRUE(IsExistingDirectory("/"));
    EXPECT_FALSE(IsExistingDirectory("/etc/passwd"));
    EXPECT_FALSE(IsExistingDirectory("/no/such/folder"));
    EXPECT_FALSE(IsExistingDirectory(""));
    EXPECT_FALSE(IsExistingDirectory(nullptr));
}

TEST(LinuxRegionalSettings, LangInfoFormatsBecomeTheSettingsFields) {
    struct Case {
        const char* name;
        LangInfoTime info;
        RegionalSettings expected;
    } cases[] = {
        {"C",
         {"%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "AM", "PM"},
         {"MM/dd/yy", "/", ":", true, false, "AM", "PM", false}},
        {"en_US",
         {"%m/%d/%Y", "%r", "%I:%M:%S %p", "AM", "PM"},
         {"MM/dd/yyyy", "/", ":", true, true, "AM", "PM", false}},
        {"dotted, composite time",
         {"%d.%m.%Y", "%T", "", "", ""},
         {"dd/MM/yyyy", ".", ":", true, false, "", "", false}},
        {"unpadded",
         {"%-d/%-m/%Y", "%l:%M:%S %p", "", "am", "pm"},
         {"d/M/yyyy", "/", ":", false, true, "am", "pm", false}},
        {"iso by %F, hours by %k",
         {"%F", "%k.%M.%S", "", "", ""},
         {"yyyy/MM/dd", "-", ".", false, false, "", "", false}},
        {"literals and a leading designator",
         {"%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5", "%p %I\xec\x8b\x9c %M\xeb\xb6\x84", "",
          "AM", "PM"},
         {"yyyy/MM'\xe6\x9c\x88'dd'\xe6\x97\xa5'", "\xe5\xb9\xb4", "\xec\x8b\x9c ", true, true,
          "AM", "PM", true}},
        {"nothing usable", {"", "", "", "", ""}, RegionalSettings{}},
    };
    for (const Case& c : cases) {
        const RegionalSettings s = RegionalSettingsFromLangInfo(c.info);
        const RegionalSettings& e = c.expected;
        EXPECT_EQ(s.shortDatePattern, e.shortDatePattern) << c.name;
        EXPECT_EQ(s.dateSeparator, e.dateSeparator) << c.name;
        EXPECT_EQ(s.timeSeparator, e.timeSeparator) << c.name;
        EXPECT_EQ(s.leadingZeroHours, e.leadingZeroHours) << c.name;
        EXPECT_EQ(s.twelveHourClock, e.twelveHourClock) << c.name;
        EXPECT_EQ(s.amDesignator, e.amDesignator) << c.name;
        EXPECT_EQ(s.pmDesignator, e.pmDesignator) << c.name;
        EXPECT_EQ(s.designatorFirst, e.designatorFirst) << c.name;
    }
}

// The whole road from the environment's locale to the text of a time stamp.
TEST(LinuxRegionalSettings, TimeStampUnderTheUsersLocale) {
    struct Case {
        const char* locale;
        const char* afternoon;
        const char* morning;
    } cases[] = {
        {"C", "06/14/06 15:04:05", "06/14/06 09:08:07"},
        {"en_US.UTF-8", "06/14/2006 03:04:05 PM", "06/14/2006 09:08:07 AM"},
    };
    const LocalDateTime afternoon{2006, 6, 14, 15, 4, 5, 0};
    const LocalDateTime morning{2006, 6, 14, 9, 8, 7, 0};
    for (const Case& c : cases) {
        const locale_t installed = newlocale(LC_TIME_MASK, c.locale, static_cast<locale_t>(0));
        if (installed == static_cast<locale_t>(0)) {
            ADD_FAILURE() << c.locale << " is not installed (scripts/setup.sh generates it)";
            continue;
        }
        freelocale(installed);
        ::setenv("LC_ALL", c.locale, 1);
        const RegionalSettings settings = ReadRegionalSettings();
        EXPECT_EQ(FormatTimeStamp(afternoon, settings), c.afternoon) << c.locale;
        EXPECT_EQ(FormatTimeStamp(morning, settings), c.morning) << c.locale;
    }
    ::setenv("LC_ALL", "no_SUCH.locale", 1);
    EXPECT_EQ(FormatTimeStamp(afternoon, ReadRegionalSettings()), "06/14/06 15:04:05")
        << "an unknown locale falls back to C";
    ::unsetenv("LC_ALL");
}

// Read from the environment at every call, whatever the program's own locale.
TEST(LinuxRegionalSettings, DecimalSeparatorOfTheUsersLocale) {
    struct Case {
        const char* variable;
        const char* locale;
        const char* separator;
    } cases[] = {
        {"LC_ALL", "C", "."},
        {"LC_ALL", "en_US.UTF-8", "."},
        {"LC_ALL", "de_DE.UTF-8", ","},
        {"LC_NUMERIC", "de_DE.UTF-8", ","},
        {"LC_ALL", "no_SUCH.locale", "."},  // an unknown locale: the C locale's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + "=" + c.locale);
        ::unsetenv("LC_ALL");
        ::setenv(c.variable, c.locale, 1);
        EXPECT_EQ(DecimalSeparator(), c.separator)
            << "is the locale installed? (scripts/setup.sh generates it)";
        ::unsetenv(c.variable);
    }
}

TEST(LinuxRegionalSettings, DaysCountFromTheEndOf1899) {
    struct Case {
        LocalDateTime t;
        double days;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{1970, 1, 1, 0, 0, 0, 0}, 25569.0},
        {{2006, 6, 14, 12, 0, 0, 0}, 38882.5},
        {{2000, 2, 29, 6, 0, 0, 0}, 36585.25},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},  // the time of day still counts forward
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(ToDays(c.t), c.days);
    const double a = ToDays({2024, 3, 1, 23, 59, 59, 999});
    const double b = ToDays({2024, 3, 2, 0, 0, 0, 0});
    EXPECT_NEAR((b - a) * 86400.0, 0.001, 1e-6);
}

TEST(LinuxRegionalSettings, LocalNowIsTheLocalClock) {
    const std::time_t before = std::time(nullptr);
    const LocalDateTime now = LocalNow();
    const std::time_t after = std::time(nullptr);
    std::tm t{};
    localtime_r(&before, &t);
    std::tm u{};
    localtime_r(&after, &u);
    auto seconds = [](int h, int m, int s) { return (h * 60 + m) * 60 + s; };
    const int got = seconds(now.hour, now.minute, now.second);
    EXPECT_TRUE(got == seconds(t.tm_hour, t.tm_min, t.tm_sec) ||
                got == seconds(u.tm_hour, u.tm_min, u.tm_sec));
    EXPECT_TRUE(now.day == t.tm_mday || now.day == u.tm_mday);
    EXPECT_EQ(now.year, u.tm_year + 1900);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LT(now.millisecond, 1000);
}

}  // namespace
}  // namespace tarnwell
