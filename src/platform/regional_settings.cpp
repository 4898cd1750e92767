#include "platform/regional_settings.h"

#include <cstdint>

namespace tarnwell {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

double ToDays(const LocalDateTime& t) {
    constexpr std::int64_t kEpochOffset = 25569;  // 1899-12-30 to 1970-01-01
    const std::int64_t days =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) +
        kEpochOffset;
    const double fraction =
        ((t.hour * 60.0 + t.minute) * 60.0 + t.second + t.millisecond / 1000.0) / 86400.0;
    // Before the epoch day the fraction still counts forward in time: -1.25 is
    // 1899-12-29 06:00, so the whole days and the time of day are kept apart.
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

}  // namespace tarnwell
