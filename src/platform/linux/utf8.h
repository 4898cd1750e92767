#pragma once
// UTF-8 and UTF-16 conversions of the Linux backend. Names on Linux are bytes
// that are usually, but not always, UTF-8; nothing here fails, what cannot be
// converted becomes "?" so that a bad name is still reported. Any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwell {

// UTF-16 to UTF-8; every unit of a lone surrogate becomes "?".
std::string Utf16ToUtf8(const char16_t* text, std::size_t units);

// Bytes of a file name to UTF-16. A byte that is not part of a well-formed
// UTF-8 sequence becomes the lone surrogate U+DC00 + byte (0x80 to 0xFF; no
// UTF-8 sequence gives one). The record's name thus carries the original
// bytes to the batch processing without a second channel beside the
// record: Utf16ToUtf8 shows each such unit as "?", as for any lone
// surrogate, and Utf16ToBytes gives the bytes back for the look-up.
std::u16string BytesToUtf16(std::string_view bytes);

// The inverse of BytesToUtf16: UTF-8, with U+DC80 to U+DCFF back as the
// single bytes they stand for; any other lone surrogate becomes "?".
std::string Utf16ToBytes(const char16_t* text, std::size_t units);

// Upper case of UTF-8 text by Unicode's simple case mapping (é becomes É).
// Bytes that are not well-formed UTF-8 are kept as they are.
std::string UpperUtf8(std::string_view text);

}  // namespace tarnwell
