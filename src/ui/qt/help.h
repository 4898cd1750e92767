#pragma once
// Help: the compiled help file beside the executable, shown in the program's
// own help window. Every request ends in DisplayHelp. User-interface thread only.

#include <cstdint>

#include "ui/help_requests.h"

class QWidget;

namespace tarnwell {

// The program's help services: the help file beside the executable, the
// program's own help window, the missing-file warning as an ownerless message
// box that leaves the windows usable.
HelpRequestServices ProgramHelpServices();

// Replaces the services, which must all be given, and starts a fresh run: the
// help window of the run before closed, no viewer looked for yet, no warning
// given yet. The program runs with ProgramHelpServices() unless this is called.
void SetHelpServices(HelpRequestServices services);

// Makes the help viewer ready once; the result only tells whether there is one.
bool LoadHtmlHelp();

// Closes the help window, at the end of the run.
void CloseHelp();

// command 1: context `data`; 3: contents; 999: table of contents; anything
// else: nothing beyond the existence test and the one warning of the run.
void DisplayHelp(std::uint16_t command, std::uint32_t data);

// The application's help handler: every help request of the program reaches it.
bool ApplicationEvents1Help(std::uint16_t command, std::intptr_t data, bool& callHelp);

// Routes F1 in `mainWindow` and everything inside it (the watch pages) to the
// handler: a position notice, then context 1028; with a menu open, context 0.
// Dialogs outside the main window carry no context and get nothing.
void InstallHelpRouting(QWidget* mainWindow);

}  // namespace tarnwell
