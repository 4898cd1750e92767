// 8-bit system text on Windows: the ANSI code page and its locale's upper case.

#include "platform/system_text.h"

#include <windows.h>

#include <climits>

namespace tarnwell {
namespace {

class Win32SystemText final : public SystemText {
  public:
    std::string FromUtf16(const char16_t* text, std::size_t units) const override {
        if (text == nullptr || units == 0) return {};
        const int count = units > INT_MAX ? INT_MAX : static_cast<int>(units);
        const auto* wide = reinterpret_cast<const wchar_t*>(text);
        // Measured first: in a multi-byte code page one code unit may need two
        // bytes, and the name must come out whole.
        const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) return {};
        std::string result(static_cast<std::size_t>(bytes), '\0');
        const int written =
            WideCharToMultiByte(CP_ACP, 0, wide, count, result.data(), bytes, nullptr, nullptr);
        result.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return result;
    }

    void ToUpper(std::string& text) const override {
        // CharUpperBuffA counts in DWORDs; names never come near that limit,
        // but a longer text is upper-cased piece by piece rather than cut.
        std::size_t done = 0;
        while (done < text.size()) {
            const std::size_t piece = text.size() - done > MAXDWORD ? MAXDWORD : text.size() - done;
            CharUpperBuffA(text.data() + done, static_cast<DWORD>(piece));
            done += piece;
        }
    }
};

}  // namespace

std::unique_ptr<SystemText> MakeSystemText() {
    return std::make_unique<Win32SystemText>();
}

}  // namespace tarnwell
