#pragma once
// The main window: the tool bar, the menu bar and the tab area in which every
// watch lives on a page of its own. Pages are never closed; they last until
// the window goes, and every running watch is stopped before that.
// User-interface thread only.

#include <QList>
#include <QMainWindow>

#include "ui/fWatcher.h"

class QAction;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace tarnwell {

class TfrmAbout;
class TfrmProxySettings;

class TfrmMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TfrmMain(WatchContext context, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Creates a "New Watch" page at the right-hand end and makes it the active one.
    TfrmWatcher* AddWatchPage();
    TfrmWatcher* ActivePage() const;
    QList<TfrmWatcher*> Pages() const;
    // The end of the run: StopWatch on every page whose watch runs.
    void StopAllWatches();

  public slots:
    void tbbNewClick() { AddWatchPage(); }
    void tbbStartClick();
    void tbbStopClick();
    void NewWindow1Click() { AddWatchPage(); }
    void Exit1Click();
    void CopyResultstoClipboard1Click();
    void ClearResultsList1Click();
    void TarnwellHelp1Click();
    // Shows the About box modally; the box comes with the update check.
    void About1Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormShow();
    void BuildToolBar();
    void BuildMenus();
    // Ctrl+Tab and Ctrl+Shift+Tab step to the neighbouring page; they stop at the ends.
    void StepPage(int step);

    WatchContext context_;
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
