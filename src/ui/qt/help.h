#pragma once
// Help: the compiled help file beside the executable, shown in the program's
// own help window. Every request ends in DisplayHelp. User-interface thread only.

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace tarnwell {

// What the help unit needs of the system. The program runs with the real ones
// (executable folder, its help window, message box); tests put in fakes.
// An empty member keeps the real service.
struct HelpServices {
    // The folder of the running executable, ending with its separator.
    std::function<std::string()> executableFolder;
    // Makes the help viewer ready; true when there is one.
    std::function<bool()> findViewer;
    // The HTML Help call: the help file, the HTML Help command (1 table of
    // contents, 2 index, 0x0F context) and its data. Made only when
    // findViewer found a viewer.
    std::function<void(const std::string& file, unsigned command, std::uint32_t data)> showHelp;
    // The missing-file warning: no owner, caption "Tarnwell", warning icon,
    // OK. Returns when the user has closed it.
    std::function<void(const std::string& text)> warn;
};

// Replaces the services and starts a fresh run: no viewer looked for yet, no
// warning given yet.
void SetHelpServices(HelpServices services);

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
