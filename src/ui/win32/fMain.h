#pragma once
// The main window of the Windows program, "Watcher": the menu, the tool bar
// with its three picture buttons, the tab control in which every watch lives
// on a page of its own, and the status bar. What its commands do is the
// neutral MainWindowCommands'; this class is the window. Pages are never
// closed; they last until the window goes, and every running watch is stopped
// before that. User-interface thread only.

#include <memory>
#include <string>
#include <vector>

#include "ui/help_requests.h"
#include "ui/main_window_commands.h"
#include "ui/win32/fAbout.h"
#include "ui/win32/fProxySettings.h"
#include "ui/win32/fWatcher.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

class TfrmMain final : public MainWindowView {
  public:
    // Created hidden; `help` gives the help requests their services.
    // `updates`: where the About box's update check goes (tests: a server of their own).
    TfrmMain(WorkerContext context, HelpRequestServices help, UpdateSource updates = {});
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    // Shows the window; the first showing runs FormShow.
    void Show(int showCommand);
    HWND Handle() const { return window_; }
    HWND TabArea() const { return ftcScreens_; }
    HWND ToolBar() const { return ToolBar1; }
    MainWindowCommands& Commands() { return commands_; }
    TfrmWatcher& PageWindow(int index) { return *pages_.at(static_cast<std::size_t>(index)); }
    TfrmAbout& About() { return *frmAbout_; }
    // The end of the run: StopWatch on every page whose watch runs.
    void StopAllWatches() { commands_.StopAllWatches(); }
    // Ctrl+Tab, Ctrl+Shift+Tab and F1 anywhere in the window; true when taken.
    bool FilterKey(const MSG& message);

    // MainWindowView
    WatchPage& AppendPage() override;
    int PageCount() const override { return static_cast<int>(pages_.size()); }
    WatchPage& PageAt(int index) override { return PageWindow(index).Logic(); }
    int ActiveIndex() const override;
    void Activate(int index) override;
    void Close() override;
    void SetClipboardText(const std::string& text) override;
    void DisplayHelp(std::uint16_t command, std::uint32_t data) override;
    void ShowAbout() override;
    void LoadHelp() override { help_.LoadHtmlHelp(); }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void LayOut();
    void Command(int id);

    WorkerContext context_;
    HelpRequests help_;
    MainWindowCommands commands_{*this};
    bool shown_ = false;

    HWND window_ = nullptr;
    HWND ToolBar1 = nullptr;
    HIMAGELIST imlActionBar_ = nullptr;
    HWND ftcScreens_ = nullptr;
    HWND StatusBar1 = nullptr;
    std::vector<std::unique_ptr<TfrmWatcher>> pages_;
    // One instance each for the whole run, made right after the main window.
    std::unique_ptr<TfrmProxySettings> frmProxySettings_;
    std::unique_ptr<TfrmAbout> frmAbout_;
};

}  // namespace tarnwell::win32
