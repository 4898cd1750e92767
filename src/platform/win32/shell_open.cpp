#include "platform/shell_open.h"

#include <windows.h>
// windows.h first: shellapi.h relies on its types.
#include <shellapi.h>

namespace tarnwell {

void ShellOpen(NativeWindowId owner, const std::string& target) {
    // The result is deliberately not looked at: the shell tells the user itself.
    ShellExecuteA(reinterpret_cast<HWND>(static_cast<UINT_PTR>(owner)), "open", target.c_str(),
                  nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tarnwell
