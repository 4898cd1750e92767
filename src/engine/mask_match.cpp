#include "engine/mask_match.h"

#include <algorithm>
#include <utility>

#include "platform/system_text.h"

namespace tarnwell {

namespace {

constexpr std::size_t kUnset = std::string_view::npos;

// Where a comparison stands. Phase 1 compares character by character; phase 2
// (`searching`) runs behind a "*" and looks ahead for the next literal.
struct WildcardScan {
    std::string_view pattern;
    std::string_view text;
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t patternResume = kUnset;  // just behind the most recent "*"
    std::size_t textResume = kUnset;     // just behind what its search found
    bool searching = false;
};

enum class ScanStep { Continue, Match, NoMatch };

// Back behind the last "*" and on in the text behind the character that its
// search found; no match when no "*" has found anything yet.
ScanStep Retry(WildcardScan& scan) {
    if (scan.patternResume == kUnset || scan.textResume == kUnset) return ScanStep::NoMatch;
    scan.p = scan.patternResume;
    scan.t = scan.textResume;
    scan.searching = true;
    return ScanStep::Continue;
}

ScanStep StepOverOne(WildcardScan& scan) {
    if (scan.t == scan.text.size()) return ScanStep::NoMatch;
    ++scan.p;
    ++scan.t;
    return ScanStep::Continue;
}

ScanStep CompareStep(WildcardScan& scan) {
    if (scan.p == scan.pattern.size())
        return scan.t == scan.text.size() ? ScanStep::Match : Retry(scan);
    const char c = scan.pattern[scan.p];
    if (c == '*') {
        scan.patternResume = ++scan.p;
        scan.searching = true;
        return ScanStep::Continue;
    }
    if (c == '?') return StepOverOne(scan);
    if (scan.t == scan.text.size()) return ScanStep::NoMatch;
    if (scan.text[scan.t] != c) return Retry(scan);
    return StepOverOne(scan);
}

ScanStep SearchStep(WildcardScan& scan) {
    if (scan.p == scan.pattern.size()) return ScanStep::Match;
    const char c = scan.pattern[scan.p];
    if (c == '*') {
        scan.patternResume = ++scan.p;
        return ScanStep::Continue;
    }
    if (c == '?') return StepOverOne(scan);
    const std::size_t found = scan.text.find(c, scan.t);
    if (found == std::string_view::npos) return ScanStep::NoMatch;
    scan.t = found + 1;
    scan.textResume = scan.t;
    ++scan.p;
    scan.searching = false;
    return ScanStep::Continue;
}

}  // namespace

bool StrMatches(std::string_view pattern, std::string_view text, std::size_t start) {
    if (pattern.empty()) return false;
    if (pattern == "*") return true;
    if (text.empty()) return false;

    WildcardScan scan{pattern, text};
    scan.t = std::min(start > 0 ? start - 1 : 0, text.size());
    // Every retry resumes the text behind the character that the last search
    // found, and each search finds one further on, so the loop ends.
    for (;;) {
        const ScanStep step = scan.searching ? SearchStep(scan) : CompareStep(scan);
        if (step != ScanStep::Continue) return step == ScanStep::Match;
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
