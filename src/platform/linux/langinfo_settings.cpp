#include "platform/linux/langinfo_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {
namespace {

// One piece of a strftime pattern: a conversion (its letter and whether a
// glibc flag asked for no padding) or literal text.
struct Piece {
    char conversion = 0;  // 0: literal
    bool unpadded = false;
    std::string literal;
};

void AppendLiteral(std::vector<Piece>& out, std::string_view text) {
    if (out.empty() || out.back().conversion != 0) out.push_back(Piece{});
    out.back().literal += text;
}

struct Conversion {
    char letter = 0;
    bool unpadded = false;
    std::size_t at = 0;  // where the letter stands
};

// The conversion whose glibc flags, width and E/O modifier start at `from`
// (just behind the "%"); nothing when the pattern ends first.
std::optional<Conversion> ParseConversion(std::string_view format, std::size_t from) {
    Conversion conversion;
    std::size_t j = from;
    while (j < format.size() &&
           std::string_view("-_0^#").find(format[j]) != std::string_view::npos) {
        if (format[j] == '-' || format[j] == '_') conversion.unpadded = true;
        ++j;
    }
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
    if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
    if (j >= format.size()) return std::nullopt;
    conversion.letter = format[j];
    conversion.at = j;
    return conversion;
}

// The text of a conversion that stands for one: "%%", "%n", "%t".
const char* LiteralOf(char letter) {
    switch (letter) {
        case '%':
            return "%";
        case 'n':
            return "\n";
        case 't':
            return "\t";
        default:
            return nullptr;
    }
}

// The pattern a composite conversion stands for.
std::optional<std::string_view> ExpansionOf(char letter, const LangInfoTime& info) {
    switch (letter) {
        case 'D':
            return "%m/%d/%y";
        case 'F':
            return "%Y-%m-%d";
        case 'T':
            return "%H:%M:%S";
        case 'R':
            return "%H:%M";
        case 'r':
            return info.timeFormatAmPm;
        case 'x':
            return info.dateFormat;
        case 'X':
            return info.timeFormat;
        default:
            return std::nullopt;
    }
}

void Tokenize(std::string_view format, const LangInfoTime& info, std::vector<Piece>& out,
              int depth = 0) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            AppendLiteral(out, format.substr(i, 1));
            continue;
        }
        const std::optional<Conversion> conversion = ParseConversion(format, i + 1);
        if (!conversion) break;
        i = conversion->at;
        if (const char* text = LiteralOf(conversion->letter)) {
            AppendLiteral(out, text);
            continue;
        }
        // The depth guard keeps a "%r" inside T_FMT_AMPM from recursing for ever.
        if (const auto expansion = ExpansionOf(conversion->letter, info)) {
            if (depth < 4) Tokenize(*expansion, info, out, depth + 1);
            continue;
        }
        out.push_back(Piece{conversion->letter, conversion->unpadded, {}});
    }
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

void ReadDate(const LangInfoTime& info, RegionalSettings& settings) {
    std::vector<Piece> pieces;
    Tokenize(info.dateFormat, info, pieces);
    std::vector<Piece> kept;
    for (const Piece& p : pieces) {
        // Day and month names have no place in a short date; they are left out.
        if (p.conversion == 0 ||
            std::string_view("demYy").find(p.conversion) != std::string_view::npos)
            kept.push_back(p);
    }
    std::string separator;
    for (std::size_t i = 1; i + 1 < kept.size(); ++i) {
        if (kept[i].conversion == 0 && kept[i - 1].conversion != 0 && kept[i + 1].conversion != 0) {
            separator = kept[i].literal;
            break;
        }
    }
    if (separator.empty()) separator = "/";
    std::string pattern;
    for (const Piece& p : kept) {
        switch (p.conversion) {
            case 'd':
                pattern += p.unpadded ? "d" : "dd";
                break;
            case 'e':
                pattern += "d";
                break;
            case 'm':
                pattern += p.unpadded ? "M" : "MM";
                break;
            case 'Y':
                pattern += "yyyy";
                break;
            case 'y':
                pattern += "yy";
                break;
            default:
                pattern += p.literal == separator ? std::string("/") : Quoted(p.literal);
                break;
        }
    }
    if (pattern.empty()) return;  // nothing usable: keep the defaults
    settings.shortDatePattern = pattern;
    settings.dateSeparator = separator;
}

void ReadTime(const LangInfoTime& info, RegionalSettings& settings) {
    std::vector<Piece> pieces;
    Tokenize(info.timeFormat, info, pieces);
    int hourAt = -1;
    int designatorAt = -1;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const char c = pieces[i].conversion;
        if (hourAt < 0 && (c == 'H' || c == 'I' || c == 'k' || c == 'l'))
            hourAt = static_cast<int>(i);
        if (designatorAt < 0 && (c == 'p' || c == 'P')) designatorAt = static_cast<int>(i);
    }
    if (hourAt < 0) return;  // no hour at all: keep the defaults
    const Piece& hour = pieces[static_cast<std::size_t>(hourAt)];
    settings.twelveHourClock = hour.conversion == 'I' || hour.conversion == 'l';
    settings.leadingZeroHours =
        (hour.conversion == 'H' || hour.conversion == 'I') && !hour.unpadded;
    settings.timeSeparator = ":";
    const auto next = static_cast<std::size_t>(hourAt) + 1;
    if (next + 1 < pieces.size() && pieces[next].conversion == 0 &&
        pieces[next + 1].conversion == 'M')
        settings.timeSeparator = pieces[next].literal;
    settings.designatorFirst = designatorAt >= 0 && designatorAt < hourAt;
    settings.amDesignator = std::string(info.am);
    settings.pmDesignator = std::string(info.pm);
}

}  // namespace

RegionalSettings RegionalSettingsFromLangInfo(const LangInfoTime& info) {
    RegionalSettings settings;
    ReadDate(info, settings);
    ReadTime(info, settings);
    return settings;
}

}  // namespace tarnwell
