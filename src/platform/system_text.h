#pragma once
// Text services of the operating system: the 8-bit system text (UTF-8 on Linux,
// the ANSI code page on Windows) and its upper-casing for name masks.
// Implementations are stateless; any thread.

#include <cstddef>
#include <memory>
#include <string>

namespace tarnwell {

class SystemText {
  public:
    virtual ~SystemText() = default;

    // Converts `units` UTF-16 code units to 8-bit system text. What the system
    // text cannot hold becomes its default character ("?"). The result is whole:
    // never cut to `units` bytes.
    virtual std::string FromUtf16(const char16_t* text, std::size_t units) const = 0;

    // The name as the file system knows it, to look the file up with. Where
    // FromUtf16 puts "?", this gives the name's original bytes when the system
    // can tell them (a Linux name that is not UTF-8): a look-up under the
    // displayed form could find another file. Otherwise the same as FromUtf16.
    virtual std::string LookupName(const char16_t* text, std::size_t units) const {
        return FromUtf16(text, units);
    }

    // Upper-cases 8-bit system text in place by the rules of the system's
    // locale, accented letters included.
    virtual void ToUpper(std::string& text) const = 0;
};

// The operating system's implementation.
std::unique_ptr<SystemText> MakeSystemText();

}  // namespace tarnwell
