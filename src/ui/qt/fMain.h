#pragma once
// The main window: the tool bar, the menu bar and the tab area in which every
// watch lives on a page of its own. Pages are never closed; they last until
// the window goes, and every running watch is stopped before that.
// User-interface thread only.

#include <QList>
#include <QMainWindow>

#include "ui/main_window_commands.h"
#include "ui/qt/fWatcher.h"

class QAction;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace tarnwell {

class TfrmAbout;
class TfrmProxySettings;

class TfrmMain : public QMainWindow, public MainWindowView {
    Q_OBJECT

  public:
    explicit TfrmMain(WatchContext context, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Creates a "New Watch" page at the right-hand end and makes it the active one.
    TfrmWatcher* AddWatchPage();
    TfrmWatcher* ActivePage() const;
    QList<TfrmWatcher*> Pages() const;
    // The end of the run: StopWatch on every page whose watch runs.
    void StopAllWatches() { commands_.StopAllWatches(); }

    // MainWindowView
    WatchPage& AppendPage() override;
    int PageCount() const override;
    WatchPage& PageAt(int index) override;
    int ActiveIndex() const override;
    void Activate(int index) override;
    void Close() override { close(); }
    void SetClipboardText(const std::string& text) override;
    void DisplayHelp(std::uint16_t command, std::uint32_t context) override;
    // The box comes with the update check.
    void ShowAbout() override;
    void LoadHelp() override;

  public slots:
    void tbbNewClick() { commands_.tbbNewClick(); }
    void tbbStartClick() { commands_.tbbStartClick(); }
    void tbbStopClick() { commands_.tbbStopClick(); }
    void NewWindow1Click() { commands_.NewWindow1Click(); }
    void Exit1Click() { commands_.Exit1Click(); }
    void CopyResultstoClipboard1Click() { commands_.CopyResultstoClipboard1Click(); }
    void ClearResultsList1Click() { commands_.ClearResultsList1Click(); }
    void TarnwellHelp1Click() { commands_.TarnwellHelp1Click(); }
    void About1Click() { commands_.About1Click(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormShow();
    void BuildToolBar();
    void BuildMenus();
    TfrmWatcher* PageWindow(int index) const;

    WatchContext context_;
    MainWindowCommands commands_{*this};
    bool shown_ = false;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* tbbNew = nullptr;
    QToolButton* tbbStart = nullptr;
    QToolButton* tbbStop = nullptr;
    QTabWidget* ftcScreens = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // One hidden instance each for the whole run, made right after the main window.
    TfrmAbout* frmAbout = nullptr;
    TfrmProxySettings* frmProxySettings = nullptr;
};

}  // namespace tarnwell
