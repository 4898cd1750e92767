#include "platform/linux/utf8.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace tarnwell {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// Decodes one well-formed UTF-8 sequence at `pos`; returns its length, or 0
// when the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len;
    char32_t min;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size()) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

// A fixed locale, so the case mapping does not depend on what the program or
// the user set with setlocale.
locale_t CaseLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (l == static_cast<locale_t>(0))
            l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

std::string ConvertUtf16(const char16_t* text, std::size_t units, bool rawBytes) {
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = text[i];
        // Every record's name comes through here, and most are plain ASCII:
        // such a run is copied in one go rather than appended byte by byte.
        if (u < 0x80) {
            std::size_t end = i + 1;
            while (end < units && text[end] < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
            i = end - 1;
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (rawBytes && u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace

std::string Utf16ToUtf8(const char16_t* text, std::size_t units) {
    return ConvertUtf16(text, units, false);
}

std::string Utf16ToBytes(const char16_t* text, std::size_t units) {
    return ConvertUtf16(text, units, true);
}

std::u16string BytesToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        // As in Utf16ToUtf8: runs of ASCII, the usual name, skip the decoder.
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            std::size_t end = i + 1;
            while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k)
                out[at + (k - i)] = static_cast<char16_t>(bytes[k]);
            i = end;
            continue;
        }
        char32_t c;
        const std::size_t len = DecodeUtf8(bytes, i, c);
        if (len == 0) {
            out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            AppendUtf16(out, c);
            i += len;
        }
    }
    return out;
}

std::string UpperUtf8(std::string_view text) {
    const locale_t locale = CaseLocale();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c;
        const std::size_t len = DecodeUtf8(text, i, c);
        if (len == 0) {
            out += text[i];
            ++i;
            continue;
        }
        if (c < 0x80) {
            if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        } else if (locale != static_cast<locale_t>(0)) {
            c = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
        }
        AppendUtf8(out, c);
        i += len;
    }
    return out;
}

}  // namespace tarnwell
