#pragma once
// Turns the C library's LC_TIME formats (strftime patterns) into the regional
// settings the time stamp takes. Pure; any thread.

#include <string_view>

#include "platform/regional_settings.h"

namespace tarnwell {

struct LangInfoTime {
    std::string_view dateFormat;      // D_FMT, e.g. "%m/%d/%y"
    std::string_view timeFormat;      // T_FMT, e.g. "%H:%M:%S" or "%r"
    std::string_view timeFormatAmPm;  // T_FMT_AMPM, what "%r" stands for
    std::string_view am;              // AM_STR
    std::string_view pm;              // PM_STR
};

RegionalSettings RegionalSettingsFromLangInfo(const LangInfoTime& info);

}  // namespace tarnwell
