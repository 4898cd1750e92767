#pragma once
// The time stamp text of rows and log lines. Any thread.

#include <string>

#include "platform/regional_settings.h"

namespace tarnwell {

// The short date; then, unless the time is exactly 00:00:00 (milliseconds are
// not looked at), a blank and the long time built from the settings.
std::string FormatTimeStamp(const LocalDateTime& when, const RegionalSettings& settings);

// "%02d:%02d:%02d" of the running time between two clock readings in days;
// hours are not wrapped at 24.
std::string FormatElapsed(double startDays, double nowDays);

}  // namespace tarnwell
