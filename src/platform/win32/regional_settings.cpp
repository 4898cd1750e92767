// The user's date and time settings from the locale database, and the local
// clock.

#include "platform/regional_settings.h"

#include <windows.h>

namespace tarnwell {
namespace {

// An item the system cannot give keeps the United States English default.
void ReadItem(LCTYPE item, std::string& value) {
    char text[128] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, item, text, static_cast<int>(sizeof text)) > 0) {
        value = text;
    }
}

void ReadFlag(LCTYPE item, bool& value) {
    std::string text;
    ReadItem(item, text);
    if (!text.empty()) value = text[0] == '1';
}

}  // namespace

RegionalSettings ReadRegionalSettings() {
    RegionalSettings settings;
    ReadItem(LOCALE_SSHORTDATE, settings.shortDatePattern);
    ReadItem(LOCALE_SDATE, settings.dateSeparator);
    ReadItem(LOCALE_STIME, settings.timeSeparator);
    ReadFlag(LOCALE_ITLZERO, settings.leadingZeroHours);
    bool twentyFourHours = !settings.twelveHourClock;
    ReadFlag(LOCALE_ITIME, twentyFourHours);
    settings.twelveHourClock = !twentyFourHours;
    ReadItem(LOCALE_S1159, settings.amDesignator);
    ReadItem(LOCALE_S2359, settings.pmDesignator);
    ReadFlag(LOCALE_ITIMEMARKPOSN, settings.designatorFirst);
    return settings;
}

LocalDateTime LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalDateTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    t.millisecond = now.wMilliseconds;
    return t;
}

}  // namespace tarnwell
