#include "platform/shell_open.h"

#include <shellapi.h>
#include <windows.h>

namespace tarnwell {

void ShellOpen(NativeWindowId owner, const std::string& target) {
    // The result is deliberately not looked at: the shell tells the user itself.
    ShellExecuteA(reinterpret_cast<HWND>(static_cast<UINT_PTR>(owner)), "open", target.c_str(),
                  nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tarnwell
