#include "platform/decimal_separator.h"

#include <langinfo.h>
#include <locale.h>

namespace tarnwell {

std::string DecimalSeparator() {
    // newlocale rather than the global locale: Qt's start-up sets the global
    // one, a plain library user may not, and the answer must not depend on it.
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return ".";
    std::string separator = nl_langinfo_l(RADIXCHAR, locale);
    freelocale(locale);
    return separator.empty() ? std::string(".") : separator;
}

}  // namespace tarnwell
