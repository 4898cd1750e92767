#pragma once
// The decimal separator of the user's regional settings, for reading numbers
// that people and servers write the way the user's region does. Any thread.

#include <string>

namespace tarnwell {

// LC_NUMERIC's radix character on Linux (from the environment, whether or not
// the program called setlocale), LOCALE_SDECIMAL on Windows. "." when the
// setting cannot be read.
std::string DecimalSeparator();

}  // namespace tarnwell
