#pragma once
// What the main window decides, whatever toolkit draws it: a new page, the
// tool bar's Start and Stop on the active page, the menu commands, stepping
// between pages, and the end of the run stopping every watch. The window is
// reached only through MainWindowView.
// User-interface thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/watch_page.h"

namespace tarnwell {

inline constexpr char kMainWindowCaption[] = "Watcher";

// The help requests of the main window (see DisplayHelp).
inline constexpr std::uint16_t kHelpTableOfContentsCommand = 999;
inline constexpr std::uint16_t kHelpContextCommand = 1;
// The only context any window carries: the main window's, for the window and
// every watch page in it. Menu items carry none.
inline constexpr std::uint32_t kMainWindowContext = 1028;
inline constexpr std::uint32_t kMenuContext = 0;

// The text of the error display: the message, with a full stop appended when
// its last character's code is above that of ".".
std::string ErrorDisplayText(const std::string& message);

class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Creates a page window with the caption "New Watch" and appends it to the
    // tab area, whose new tab shows that caption; returns the page's logic.
    virtual WatchPage& AppendPage() = 0;
    virtual int PageCount() const = 0;
    virtual WatchPage& PageAt(int index) = 0;
    // -1 while there is no page.
    virtual int ActiveIndex() const = 0;
    // Shows the page at `index` and hides the one that was active; the page
    // takes the keyboard focus when the window is visible.
    virtual void Activate(int index) = 0;
    // The window's close command: the normal end of the run.
    virtual void Close() = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    virtual void DisplayHelp(std::uint16_t command, std::uint32_t data) = 0;
    // Modal; its result is of no interest, the box has only OK.
    virtual void ShowAbout() = 0;
    // Looks for the help viewer; the result is ignored.
    virtual void LoadHelp() = 0;
};

class MainWindowCommands {
  public:
    explicit MainWindowCommands(MainWindowView& view) : view_(view) {}

    // A "New Watch" page at the right-hand end, made the active one.
    WatchPage& AddWatchPage();
    WatchPage* ActivePage();
    // The first showing of the window: help is looked for, the first page opened.
    void FormShow();

    void tbbNewClick() { AddWatchPage(); }
    void tbbStartClick();
    void tbbStopClick();
    void NewWindow1Click() { AddWatchPage(); }
    void Exit1Click() { view_.Close(); }
    void CopyResultstoClipboard1Click();
    void ClearResultsList1Click();
    void TarnwellHelp1Click() { view_.DisplayHelp(kHelpTableOfContentsCommand, 0); }
    void About1Click() { view_.ShowAbout(); }
    // Ctrl+Tab (+1) and Ctrl+Shift+Tab (-1); they stop at the ends.
    void StepPage(int step);
    // The end of the run: StopWatch on every page whose watch runs.
    void StopAllWatches();

  private:
    MainWindowView& view_;
};

}  // namespace tarnwell
