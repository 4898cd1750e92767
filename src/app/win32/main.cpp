// Tarnwell for Windows: watches folders and reports every change the file
// system announces.

#include "ui/win32/application.h"
#include "ui/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int showCommand) {
    // The versions document is read by MSXML, which wants a single-threaded
    // apartment on the user-interface thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                       ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const int exitCode = tarnwell::win32::RunTarnwell(showCommand);
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
