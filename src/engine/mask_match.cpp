#include "engine/mask_match.h"

#include <utility>

#include "platform/system_text.h"

namespace tarnwell {

bool StrMatches(std::string_view pattern, std::string_view text, std::size_t start) {
    if (pattern.empty()) return false;
    if (pattern == "*") return true;
    if (text.empty()) return false;

    constexpr std::size_t kUnset = std::string_view::npos;
    std::size_t p = 0;
    std::size_t t = start > 0 ? start - 1 : 0;
    if (t > text.size()) t = text.size();
    std::size_t patternResume = kUnset;
    std::size_t textResume = kUnset;
    bool searching = false;  // phase 2: behind a "*"

    // Every retry resumes the text behind the character that the last search
    // found, and each search finds one further on, so the loop ends.
    for (;;) {
        if (!searching) {
            if (p == pattern.size()) {
                if (t == text.size()) return true;
                if (patternResume == kUnset || textResume == kUnset) return false;
                p = patternResume;
                t = textResume;
                searching = true;
                continue;
            }
            const char c = pattern[p];
            if (c == '*') {
                patternResume = ++p;
                searching = true;
            } else if (c == '?') {
                if (t == text.size()) return false;
                ++p;
                ++t;
            } else {
                if (t == text.size()) return false;
                if (text[t] == c) {
                    ++p;
                    ++t;
                } else {
                    if (patternResume == kUnset || textResume == kUnset) return false;
                    p = patternResume;
                    t = textResume;
                    searching = true;
                }
            }
        } else {
            if (p == pattern.size()) return true;
            const char c = pattern[p];
            if (c == '*') {
                patternResume = ++p;
            } else if (c == '?') {
                if (t == text.size()) return false;
                ++p;
                ++t;
            } else {
                const std::size_t found = text.find(c, t);
                if (found == std::string_view::npos) return false;
                t = found + 1;
                textResume = t;
                ++p;
                searching = false;
            }
        }
    }
}

FileNameMatcher::FileNameMatcher(std::string mask, bool caseSensitive, const SystemText& text)
    : text_(text),
      mask_(std::move(mask)),
      caseSensitive_(caseSensitive),
      matchesAll_(mask_.empty() || mask_ == "*" || mask_ == "*.*") {
    if (!matchesAll_ && !caseSensitive_) text_.ToUpper(mask_);
}

bool FileNameMatcher::Matches(std::string_view name) {
    if (matchesAll_) return true;
    name_.assign(name);
    if (name_.find('.') == std::string::npos) name_.push_back('.');
    if (!caseSensitive_) text_.ToUpper(name_);
    return StrMatches(mask_, name_, 1);
}

bool IsFileNameMatch(std::string name, std::string mask, bool caseSensitive,
                     const SystemText& text) {
    FileNameMatcher matcher(std::move(mask), caseSensitive, text);
    return matcher.Matches(name);
}

}  // namespace tarnwell
