#pragma once
// Help: the compiled help file beside the executable, shown by a help viewer.
// Every request ends in DisplayHelp. User-interface thread only.

#include <cstdint>

class QWidget;

namespace tarnwell {

// Looks for the help viewer once; the result only tells whether one was found.
bool LoadHtmlHelp();

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
