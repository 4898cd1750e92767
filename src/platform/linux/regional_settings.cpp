#include "platform/regional_settings.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include "platform/linux/langinfo_settings.h"

namespace tarnwell {

RegionalSettings ReadRegionalSettings() {
    // The user's locale from the environment (LC_ALL, LC_TIME, LANG), whether
    // or not the program called setlocale; an unknown name falls back to C.
    locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0))
        locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return RegionalSettings{};
    const LangInfoTime info{nl_langinfo_l(D_FMT, locale), nl_langinfo_l(T_FMT, locale),
                            nl_langinfo_l(T_FMT_AMPM, locale), nl_langinfo_l(AM_STR, locale),
                            nl_langinfo_l(PM_STR, locale)};
    RegionalSettings settings = RegionalSettingsFromLangInfo(info);
    freelocale(locale);
    return settings;
}

LocalDateTime LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // A burst reads the clock twice for every record, hundreds of times within
    // one second, and only the milliseconds change meanwhile: the calendar of
    // a second is worked out once. Daylight saving moves the clock on a whole
    // second, so a kept second never shows a stale offset.
    thread_local bool known = false;
    thread_local time_t knownSecond = 0;
    thread_local LocalDateTime knownTime;
    if (!known || now.tv_sec != knownSecond) {
        tm local{};
        localtime_r(&now.tv_sec, &local);
        LocalDateTime t;
        t.year = local.tm_year + 1900;
        t.month = local.tm_mon + 1;
        t.day = local.tm_mday;
        t.hour = local.tm_hour;
        t.minute = local.tm_min;
        // A leap second (tm_sec 60) is shown as the last second of its minute.
        t.second = local.tm_sec > 59 ? 59 : local.tm_sec;
        knownTime = t;
        knownSecond = now.tv_sec;
        known = true;
    }
    LocalDateTime t = knownTime;
    t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return t;
}

}  // namespace tarnwell
