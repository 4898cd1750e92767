#pragma once
// The time stamp text of rows and log lines, and the running clock of a watch
// page. Any thread.

#include <string>

#include "platform/regional_settings.h"

namespace tarnwell {

// The short date; then, unless the time is exactly 00:00:00 (milliseconds are
// not looked at), a blank and the long time built from the settings.
std::string FormatTimeStamp(const LocalDateTime& when, const RegionalSettings& settings);

// The same, appended to `out` so a caller can reuse one buffer.
void AppendTimeStamp(std::string& out, const LocalDateTime& when, const RegionalSettings& settings);

// "%02d:%02d:%02d" of the running time between two clock readings in days,
// each part truncated toward zero; hours are not wrapped at 24 nor limited to
// two digits. A clock set back before the start shows 00:00:00.
std::string FormatElapsed(double startDays, double nowDays);

}  // namespace tarnwell
