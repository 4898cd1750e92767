#pragma once
// Hands an address or a file to the desktop, which opens it with the user's
// program for it (normally the web browser). User-interface thread only.

#include <string>

namespace tarnwell {

// The window the desktop may use as the owner of anything it shows; 0 for none.
using NativeWindowId = unsigned long long;

// Starts the opening and returns at once. Whether it worked is the desktop's
// business: nothing is waited for and nothing is reported, also not for an
// empty `target`. Linux: xdg-open, started detached. Windows: ShellExecuteA
// with "open" and SW_SHOWNORMAL.
void ShellOpen(NativeWindowId owner, const std::string& target);

}  // namespace tarnwell
