#include "net/update_check.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace tarnwell {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// XML's white space, which is what a pretty-printed document puts around a
// value, and the two other ASCII spaces.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(a) == lower(b);
    });
}

// Digits with at most one separator among them, "." or the region's, from `i`
// on into `number` with "." as the separator; `i` ends after them. False when
// there is no digit.
bool ReadMantissa(std::string_view text, std::size_t& i, std::string_view decimalSeparator,
                  std::string& number) {
    bool digits = false;
    bool separator = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            number += text[i++];
            digits = true;
            continue;
        }
        if (separator) break;
        if (text[i] == '.') {
            ++i;
        } else if (!decimalSeparator.empty() &&
                   text.substr(i, decimalSeparator.size()) == decimalSeparator) {
            i += decimalSeparator.size();
        } else {
            break;
        }
        number += '.';
        separator = true;
    }
    return digits;
}

// An optional exponent ("E", an optional sign, digits) from `i` on into
// `number`; false for an "E" without digits.
bool ReadExponent(std::string_view text, std::size_t& i, std::string& number) {
    if (i >= text.size() || (text[i] != 'E' && text[i] != 'e')) return true;
    number += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        number += text[i++];
        digits = true;
    }
    return digits;
}

}  // namespace

HttpLimits UpdateCheckLimits(std::chrono::milliseconds total) {
    HttpLimits limits;
    limits.total = std::min<std::chrono::milliseconds>(total, kUpdateCheckTimeLimit);
    limits.wait = limits.total;
    return limits;
}

std::optional<double> ParseVersionNumber(std::string_view text, std::string_view decimalSeparator) {
    text = Trim(text);
    std::size_t i = 0;
    // Rewritten with "." so the conversion does not depend on any locale.
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    if (!ReadMantissa(text, i, decimalSeparator, number)) return std::nullopt;
    if (!ReadExponent(text, i, number)) return std::nullopt;
    if (i != text.size()) return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

std::string TrimDownloadAddress(std::string_view address) {
    return std::string(Trim(address));
}

bool IsOpenableDownloadAddress(std::string_view address) {
    if (address.empty()) return true;
    for (std::string_view scheme : {"http://", "https://", "ftp://"})
        if (StartsWithIgnoringCase(address, scheme)) return true;
    return false;
}

std::string RefusedDownloadAddressText(std::string_view address) {
    return "The download address \"" + std::string(address) +
           "\" was not opened: only http, https and ftp addresses are opened.";
}

}  // namespace tarnwell
