#include "platform/linux/langinfo_settings.h"

#include <string>
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

void Tokenize(std::string_view format, const LangInfoTime& info, std::vector<Piece>& out,
              int depth = 0) {
    auto literal = [&out](std::string_view text) {
        if (out.empty() || out.back().conversion != 0) out.push_back(Piece{});
        out.back().literal += text;
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            literal(format.substr(i, 1));
            continue;
        }
        bool unpadded = false;
        std::size_t j = i + 1;
        while (j < format.size() &&
               std::string_view("-_0^#").find(format[j]) != std::string_view::npos) {
            if (format[j] == '-' || format[j] == '_') unpadded = true;
            ++j;
        }
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
        if (j >= format.size()) break;
        const char c = format[j];
        i = j;
        // Composite conversions stand for patterns of their own; the depth
        // guard keeps a "%r" inside T_FMT_AMPM from recursing for ever.
        std::string_view expansion;
        switch (c) {
            case 'D':
                expansion = "%m/%d/%y";
                break;
            case 'F':
                expansion = "%Y-%m-%d";
                break;
            case 'T':
                expansion = "%H:%M:%S";
                break;
            case 'R':
                expansion = "%H:%M";
                break;
            case 'r':
                expansion = info.timeFormatAmPm;
                break;
            case 'x':
                expansion = info.dateFormat;
                break;
            case 'X':
                expansion = info.timeFormat;
                break;
            case '%':
                literal("%");
                continue;
            case 'n':
                literal("\n");
                continue;
            case 't':
                literal("\t");
                continue;
            default:
                break;
        }
        if (!expansion.empty() || c == 'r' || c == 'x' || c == 'X') {
            if (depth < 4) Tokenize(expansion, info, out, depth + 1);
            continue;
        }
        out.push_back(Piece{c, unpadded, {}});
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
