#pragma once
// The user's regional settings for dates and times, and the local clock.
// Plain values; any thread.

#include <string>

namespace tarnwell {

struct LocalDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct RegionalSettings {
    // Short date pattern with Windows letters: d, dd, M, MM, yy, yyyy; "/" in it
    // stands for `dateSeparator`, any other character for itself
    // (United States English: "M/d/yyyy").
    std::string shortDatePattern = "M/d/yyyy";
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    bool leadingZeroHours = false;
    bool twelveHourClock = true;
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";
    bool designatorFirst = false;  // "AM 3:04:05" rather than "3:04:05 AM"
};

// The current user's settings (LC_TIME on Linux, GetLocaleInfoA on Windows).
RegionalSettings ReadRegionalSettings();

// The local wall clock (GetLocalTime on Windows).
LocalDateTime LocalNow();

// Days since 1899-12-30 with the time of day as the fraction, as the watch clock
// subtracts them.
double ToDays(const LocalDateTime& t);

}  // namespace tarnwell
