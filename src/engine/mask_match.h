#pragma once
// Name masks: "*" for any run of characters, "?" for one character. The rules
// are kept exactly as users of the Windows version know them, quirks included
// (a name without a dot is matched with a dot appended; a "?" right behind a
// "*" is not retried at every position). Any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwell {

class SystemText;

bool IsFileNameMatch(std::string name, std::string mask, bool caseSensitive,
                     const SystemText& text);

// `start` is 1-based. An empty pattern never reaches here; it matches nothing.
bool StrMatches(std::string_view pattern, std::string_view text, std::size_t start);

// IsFileNameMatch for one mask and many names: the mask is upper-cased once
// and the name goes through a reused buffer, so a match allocates nothing once
// the buffer has grown to the longest name. One thread at a time.
class FileNameMatcher {
  public:
    FileNameMatcher(std::string mask, bool caseSensitive, const SystemText& text);
    bool Matches(std::string_view name);

  private:
    const SystemText& text_;
    std::string mask_;
    bool caseSensitive_;
    bool matchesAll_;
    std::string name_;
};

}  // namespace tarnwell
