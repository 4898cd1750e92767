#pragma once
// The run of the Windows program: start-up, the message loop and the end of
// the run. An error that escapes start-up or a handler is shown to the user;
// after a handler's the loop goes on. User-interface thread only.

#include "ui/help_requests.h"

namespace tarnwell::win32 {

// The program's help services: the help file beside the executable, HTML
// Help through the platform's viewer, the missing-file warning as an ownerless
// MessageBoxA.
HelpRequestServices ProgramHelpServices();

// Sets up the run, shows the main window with `showCommand`, runs the message
// loop until the main window is closed, and ends the run: every running watch
// stopped, the windows destroyed. Returns the process's exit code (0, also
// after an error in start-up, which is shown first). The caller has entered a
// single-threaded COM apartment and set up the common controls.
int RunTarnwell(int showCommand);

}  // namespace tarnwell::win32
