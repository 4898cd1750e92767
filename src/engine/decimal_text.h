#pragma once
// Decimal digits appended to a text without a temporary string, for the rows,
// log lines and time stamps that a batch builds by the thousand. Any thread.

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <type_traits>

namespace tarnwell {

// `value` in decimal; a value that is not negative is padded with leading
// zeros to `minDigits`.
template <typename Integer>
void AppendDecimal(std::string& out, Integer value, int minDigits = 1) {
    char digits[std::numeric_limits<Integer>::digits10 + 3];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(result.ptr - digits);
    bool padded = true;
    if constexpr (std::is_signed_v<Integer>) padded = value >= 0;
    if (padded && length < minDigits) out.append(static_cast<std::size_t>(minDigits - length), '0');
    out.append(digits, result.ptr);
}

}  // namespace tarnwell
