#pragma once
// Name masks: "*" for any run of characters, "?" for one character. The rules
// are kept exactly as users of the Windows version know them, quirks included
// (a name without a dot is matched with a dot appended; a "?" right behind a
// "*" is not retried at every position). Any thread.

#include <string>
#include <string_view>

namespace tarnwell {

class SystemText;

bool IsFileNameMatch(std::string name, std::string mask, bool caseSensitive,
                     const SystemText& text);

// `start` is 1-based. An empty pattern never reaches here.
bool StrMatches(std::string_view pattern, std::string_view text, std::size_t start);

}  // namespace tarnwell
