#include "platform/system_text.h"

#include "platform/linux/utf8.h"

namespace tarnwell {
namespace {

class LinuxSystemText final : public SystemText {
  public:
    std::string FromUtf16(const char16_t* text, std::size_t units) const override {
        return Utf16ToUtf8(text, units);
    }
    std::string LookupName(const char16_t* text, std::size_t units) const override {
        return Utf16ToBytes(text, units);
    }
    void ToUpper(std::string& text) const override { text = UpperUtf8(text); }
};

}  // namespace

std::unique_ptr<SystemText> MakeSystemText() {
    return std::make_unique<LinuxSystemText>();
}

}  // namespace tarnwell
