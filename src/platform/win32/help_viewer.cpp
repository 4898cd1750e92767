// Help on Windows: HtmlHelpA, taken at run time from the library that the
// registry names as the HTML Help control's in-process server.

#include "platform/help_viewer.h"

#include <windows.h>

#include <string>

namespace tarnwell {
namespace {

// From htmlhelp.h, which mingw-w64 does not ship.
using HtmlHelpFunction = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);
constexpr UINT kHhDisplayToc = 0x0001;
constexpr UINT kHhDisplayIndex = 0x0002;
constexpr UINT kHhHelpContext = 0x000F;

constexpr char kHtmlHelpServerKey[] =
    "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

class HtmlHelpViewer final : public HelpViewer {
  public:
    explicit HtmlHelpViewer(HtmlHelpFunction htmlHelp) : htmlHelp_(htmlHelp) {}

    void Show(const std::string& file, HelpView view, std::uint32_t context) override {
        const UINT command = view == HelpView::Context ? kHhHelpContext
                             : view == HelpView::Index ? kHhDisplayIndex
                                                       : kHhDisplayToc;
        // The desktop as the caller: the help window belongs to none of the
        // program's windows and stays when they close. Its result is HTML
        // Help's business, which reports its own failures.
        htmlHelp_(GetDesktopWindow(), file.c_str(), command, context);
    }

  private:
    HtmlHelpFunction htmlHelp_;
};

// The library named by the key's default value, as stored (no expansion of
// environment variables), whatever the value's type.
HMODULE LoadHtmlHelpLibrary() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    // 255 of 256 passed: a value stored without its terminating zero still
    // ends in one here.
    char library[256] = {};
    DWORD size = 255;
    const LSTATUS status =
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(library), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || library[0] == '\0') return nullptr;
    return LoadLibraryA(library);
}

}  // namespace

std::unique_ptr<HelpViewer> FindHelpViewer() {
    HMODULE library = LoadHtmlHelpLibrary();
    if (library == nullptr) return nullptr;
    const auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")));
    if (htmlHelp == nullptr) {
        FreeLibrary(library);
        return nullptr;
    }
    // The library stays loaded for the rest of the run: help windows it opened
    // live on after any one request.
    return std::make_unique<HtmlHelpViewer>(htmlHelp);
}

std::string ExecutableFolder() {
    // MAX_PATH is not the limit of a path; the name is read again into a
    // larger buffer until it fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const auto end = path.find_last_of("\\:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

}  // namespace tarnwell
