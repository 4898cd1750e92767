#include "engine/time_stamp.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

RegionalSettings UnitedStates() {
    return RegionalSettings{};
}

RegionalSettings Germany() {
    RegionalSettings s;
    s.shortDatePattern = "dd/MM/yyyy";
    s.dateSeparator = ".";
    s.leadingZeroHours = true;
    s.twelveHourClock = false;
    return s;
}

RegionalSettings DesignatorFirst() {
    RegionalSettings s;
    s.shortDatePattern = "yy/MM/dd";
    s.dateSeparator = "-";
    s.amDesignator = "AM";
    s.pmDesignator = "PM";
    s.designatorFirst = true;
    s.leadingZeroHours = true;
    return s;
}

RegionalSettings QuotedAndOddSeparators() {
    RegionalSettings s;
    s.shortDatePattern = "d' de 'M''yyyy";
    s.timeSeparator = ".";
    s.twelveHourClock = true;
    s.pmDesignator = "";
    return s;
}

LocalDateTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return LocalDateTime{year, month, day, hour, minute, second, ms};
}

struct StampCase {
    const char* what;
    RegionalSettings settings;
    LocalDateTime when;
    const char* text;
};

TEST(TimeStamp, DateAndLongTimeFromTheSettings) {
    const StampCase cases[] = {
        {"US afternoon", UnitedStates(), At(2006, 6, 14, 15, 4, 5), "6/14/2006 3:04:05 PM"},
        {"US midnight: date alone", UnitedStates(), At(2006, 6, 14, 0, 0, 0, 500), "6/14/2006"},
        {"US one second past midnight", UnitedStates(), At(2006, 6, 14, 0, 0, 1),
         "6/14/2006 12:00:01 AM"},
        {"US noon", UnitedStates(), At(2006, 12, 1, 12, 0, 0), "12/1/2006 12:00:00 PM"},
        {"US morning", UnitedStates(), At(2006, 1, 2, 9, 30, 59), "1/2/2006 9:30:59 AM"},
        {"24-hour, leading zeros", Germany(), At(2006, 6, 4, 7, 4, 5), "04.06.2006 07:04:05"},
        {"24-hour evening", Germany(), At(2006, 6, 14, 23, 59, 59), "14.06.2006 23:59:59"},
        {"designator first, two-digit year", DesignatorFirst(), At(2006, 6, 14, 15, 4, 5),
         "06-06-14 PM 03:04:05"},
        {"designator first, year 2000", DesignatorFirst(), At(2000, 1, 2, 1, 2, 3),
         "00-01-02 AM 01:02:03"},
        {"quoted text, empty designator", QuotedAndOddSeparators(), At(2006, 6, 14, 15, 4, 5),
         "14 de 6'2006 3.04.05"},
    };
    for (const StampCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FormatTimeStamp(c.when, c.settings), c.text);
        std::string appended = "x";
        AppendTimeStamp(appended, c.when, c.settings);
        EXPECT_EQ(appended, std::string("x") + c.text);
    }
}

TEST(TimeStamp, ElapsedClock) {
    const double start = 38882.5;  // 14 June 2006, noon
    const double second = 1.0 / 86400.0;
    const struct {
        double now;
        const char* text;
    } cases[] = {
        {start, "00:00:00"},
        {start + 0.999 * second, "00:00:00"},  // truncated, not rounded
        {start + 61.5 * second, "00:01:01"},
        {start + 25.0 / 24.0, "25:00:00"},
        {start + 100.0 / 24.0, "100:00:00"},  // the day counts' float error must not show
        {start + 100.0 / 24.0 - second, "99:59:59"},
        {start - 5 * second, "00:00:00"},  // the clock was set back
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatElapsed(start, c.now), c.text);
    }
}

}  // namespace
}  // namespace tarnwell
