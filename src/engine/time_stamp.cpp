#include "engine/time_stamp.h"

#include <cmath>
#include <cstdint>

#include "engine/decimal_text.h"

namespace tarnwell {

namespace {

std::size_t RunLength(const std::string& pattern, std::size_t at) {
    std::size_t end = at;
    while (end < pattern.size() && pattern[end] == pattern[at]) ++end;
    return end - at;
}

bool IsDoubledQuote(const std::string& pattern, std::size_t at) {
    return pattern[at] == '\'' && at + 1 < pattern.size() && pattern[at + 1] == '\'';
}

// A run of d, M or y. Day and month names (ddd, MMM) have no place in a short
// date; longer runs give two digits rather than nothing.
void AppendDateField(std::string& out, char letter, std::size_t run, const LocalDateTime& when) {
    if (letter == 'y') {
        if (run <= 2) {
            AppendDecimal(out, ((when.year % 100) + 100) % 100, 2);
        } else {
            AppendDecimal(out, when.year, 4);
        }
    } else {
        AppendDecimal(out, letter == 'd' ? when.day : when.month, run >= 2 ? 2 : 1);
    }
}

// Literal text from the opening quote at `at` through its closing quote, or
// to the end of a pattern that never closes it; returns the position behind.
std::size_t AppendQuotedText(std::string& out, const std::string& pattern, std::size_t at) {
    std::size_t i = at + 1;
    while (i < pattern.size()) {
        if (IsDoubledQuote(pattern, i)) {
            out += '\'';
            i += 2;
        } else if (pattern[i] == '\'') {
            return i + 1;
        } else {
            out += pattern[i++];
        }
    }
    return i;
}

// Windows short date letters.
void AppendDate(std::string& out, const LocalDateTime& when, const RegionalSettings& settings) {
    const std::string& pattern = settings.shortDatePattern;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == 'd' || c == 'M' || c == 'y') {
            const std::size_t run = RunLength(pattern, i);
            AppendDateField(out, c, run, when);
            i += run;
        } else if (c == '/') {
            out += settings.dateSeparator;
            ++i;
        } else if (IsDoubledQuote(pattern, i)) {
            out += '\'';  // '' stands for one quote, inside quoted text or not
            i += 2;
        } else if (c == '\'') {
            i = AppendQuotedText(out, pattern, i);
        } else {
            out += c;
            ++i;
        }
    }
}

void AppendTime(std::string& out, const LocalDateTime& when, const RegionalSettings& settings) {
    int hour = when.hour;
    const std::string* designator = nullptr;
    if (settings.twelveHourClock) {
        designator = when.hour < 12 ? &settings.amDesignator : &settings.pmDesignator;
        hour = when.hour % 12;
        if (hour == 0) hour = 12;
    }
    // An empty designator gets no blank either, so a line never ends in one.
    const bool withDesignator = designator != nullptr && !designator->empty();
    if (withDesignator && settings.designatorFirst) {
        out += *designator;
        out += ' ';
    }
    AppendDecimal(out, hour, settings.leadingZeroHours ? 2 : 1);
    out += settings.timeSeparator;
    AppendDecimal(out, when.minute, 2);
    out += settings.timeSeparator;
    AppendDecimal(out, when.second, 2);
    if (withDesignator && !settings.designatorFirst) {
        out += ' ';
        out += *designator;
    }
}

}  // namespace

void AppendTimeStamp(std::string& out, const LocalDateTime& when,
                     const RegionalSettings& settings) {
    AppendDate(out, when, settings);
    if (when.hour == 0 && when.minute == 0 && when.second == 0) return;
    out += ' ';
    AppendTime(out, when, settings);
}

std::string FormatTimeStamp(const LocalDateTime& when, const RegionalSettings& settings) {
    std::string text;
    AppendTimeStamp(text, when, settings);
    return text;
}

std::string FormatElapsed(double startDays, double nowDays) {
    double elapsed = (nowDays - startDays) * 86400.0;
    // Clock readings are whole milliseconds; rounding to them first keeps the
    // floating-point difference of two day counts from showing 99:59:59 at 100
    // hours. A clock set back before the start, or garbage, counts as no time.
    if (!(elapsed > 0.0)) elapsed = 0.0;
    constexpr double kLongest = 1e12;  // about 31 700 years: far beyond any run
    if (elapsed > kLongest) elapsed = kLongest;
    const auto milliseconds = static_cast<std::int64_t>(std::llround(elapsed * 1000.0));
    const std::int64_t seconds = milliseconds / 1000;

    std::string text;
    AppendDecimal(text, seconds / 3600, 2);
    text += ':';
    AppendDecimal(text, (seconds % 3600) / 60, 2);
    text += ':';
    AppendDecimal(text, seconds % 60, 2);
    return text;
}

}  // namespace tarnwell
