#include "platform/decimal_separator.h"

#include <windows.h>

namespace tarnwell {

std::string DecimalSeparator() {
    // LOCALE_SDECIMAL is at most four characters with its terminating zero.
    char buffer[8] = {};
    const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer);
    if (length <= 1) return ".";
    return std::string(buffer, static_cast<std::size_t>(length - 1));
}

}  // namespace tarnwell
