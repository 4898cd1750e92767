#include "ui/qt/fMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "ui/qt/fAbout.h"
#include "ui/qt/fProxySettings.h"
#include "ui/qt/frame_pacer.h"
#include "ui/qt/help.h"
#include "ui/qt/page_tabs.h"
#include "ui/qt/qt_system_text.h"
#include "ui/qt/toolbar_pictures.h"

namespace tarnwell {

namespace {

constexpr int kToolBarHeight = 29;

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    return item;
}

}  // namespace

TfrmMain::TfrmMain(WatchContext context, QWidget* parent) : QMainWindow(parent), context_(context) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QLatin1String(kMainWindowCaption));

    BuildToolBar();
    BuildMenus();

    ftcScreens = new PageTabs(this);
    ftcScreens->setObjectName(QStringLiteral("ftcScreens"));
    ftcScreens->setDocumentMode(false);
    ftcScreens->setTabsClosable(false);
    ftcScreens->setMovable(false);
    ftcScreens->setUsesScrollButtons(true);
    setCentralWidget(ftcScreens);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);

    // Shortcuts come before the controls' own keys, so neither the tab area's
    // wrapping Ctrl+Tab nor the results list's Tab navigation gets to them.
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    next->setObjectName(QStringLiteral("NextPageShortcut"));
    connect(next, &QShortcut::activated, this, [this] { commands_.StepPage(1); });
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}) {
        auto* previous = new QShortcut(keys, this);
        previous->setObjectName(QStringLiteral("PreviousPageShortcut"));
        connect(previous, &QShortcut::activated, this, [this] { commands_.StepPage(-1); });
    }

    new FramePacer(this);

    frmAbout = new TfrmAbout(this);
    frmProxySettings = new TfrmProxySettings(this);
    frmAbout->SetProxySettingsDialog(frmProxySettings);
}

TfrmMain::~TfrmMain() {
    StopAllWatches();
}

void TfrmMain::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    const auto makeButton = [this](const char* name, const QIcon& picture, const QString& label) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(name));
        button->setIcon(picture);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        // Pictures only: no caption, no tool tip; screen readers still get a name.
        button->setAccessibleName(label);
        ToolBar1->addWidget(button);
        return button;
    };
    tbbNew = makeButton("tbbNew", NewPagePicture(), tr("New"));
    tbbStart = makeButton("tbbStart", StartWatchPicture(), tr("Start"));
    tbbStop = makeButton("tbbStop", StopWatchPicture(), tr("Stop"));
    connect(tbbNew, &QToolButton::clicked, this, &TfrmMain::tbbNewClick);
    connect(tbbStart, &QToolButton::clicked, this, &TfrmMain::tbbStartClick);
    connect(tbbStop, &QToolButton::clicked, this, &TfrmMain::tbbStopClick);
}

void TfrmMain::BuildMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* File1 = MainMenu1->addMenu(tr("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    QAction* NewWindow1 = AddItem(File1, "NewWindow1", tr("&New Window"));
    File1->addSeparator();
    QAction* Exit1 = AddItem(File1, "Exit1", tr("E&xit"));

    QMenu* Edit1 = MainMenu1->addMenu(tr("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    QAction* CopyResultstoClipboard1 =
        AddItem(Edit1, "CopyResultstoClipboard1", tr("&Copy Results to Clipboard"));
    QAction* ClearResultsList1 = AddItem(Edit1, "ClearResultsList1", tr("C&lear Results List"));

    QMenu* Help1 = MainMenu1->addMenu(tr("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    QAction* TarnwellHelp1 = AddItem(Help1, "TarnwellHelp1", tr("Tarnwell &Help"));
    Help1->addSeparator();
    QAction* About1 = AddItem(Help1, "About1", tr("&About"));

    // The keys every desktop program has, shown beside their items.
    NewWindow1->setShortcut(QKeySequence::New);
    // Not QKeySequence::Quit: some desktops bind it to nothing.
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // F1 itself goes through the help routing, which tells the main window's
    // context from a menu's; the item only shows the key.
    TarnwellHelp1->setShortcut(QKeySequence::HelpContents);
    TarnwellHelp1->setShortcutContext(Qt::WidgetShortcut);

    connect(NewWindow1, &QAction::triggered, this, &TfrmMain::NewWindow1Click);
    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
    connect(CopyResultstoClipboard1, &QAction::triggered, this,
            &TfrmMain::CopyResultstoClipboard1Click);
    connect(ClearResultsList1, &QAction::triggered, this, &TfrmMain::ClearResultsList1Click);
    connect(TarnwellHelp1, &QAction::triggered, this, &TfrmMain::TarnwellHelp1Click);
    connect(About1, &QAction::triggered, this, &TfrmMain::About1Click);
}

TfrmWatcher* TfrmMain::AddWatchPage() {
    commands_.AddWatchPage();
    return ActivePage();
}

TfrmWatcher* TfrmMain::ActivePage() const {
    return qobject_cast<TfrmWatcher*>(ftcScreens->currentWidget());
}

TfrmWatcher* TfrmMain::PageWindow(int index) const {
    return qobject_cast<TfrmWatcher*>(ftcScreens->widget(index));
}

QList<TfrmWatcher*> TfrmMain::Pages() const {
    QList<TfrmWatcher*> pages;
    for (int i = 0; i < ftcScreens->count(); ++i)
        if (TfrmWatcher* page = PageWindow(i)) pages.append(page);
    return pages;
}

WatchPage& TfrmMain::AppendPage() {
    auto* page = new TfrmWatcher(context_);
    page->setObjectName(QStringLiteral("frmWatcher%1").arg(ftcScreens->count() + 1));
    page->setWindowTitle(QLatin1String(kNewWatchCaption));
    page->SetTabArea(ftcScreens);
    ftcScreens->addTab(page, page->windowTitle());
    return page->Logic();
}

int TfrmMain::PageCount() const {
    return ftcScreens->count();
}

WatchPage& TfrmMain::PageAt(int index) {
    return PageWindow(index)->Logic();
}

int TfrmMain::ActiveIndex() const {
    return ftcScreens->currentIndex();
}

void TfrmMain::Activate(int index) {
    ftcScreens->setCurrentIndex(index);
    // A page shown again gets back the control it had, which the tab area
    // gives it when the focus was on the page before; only a page that does
    // not hold the focus yet is given it.
    QWidget* page = ftcScreens->currentWidget();
    if (isVisible() && !page->isAncestorOf(QApplication::focusWidget())) page->setFocus();
}

void TfrmMain::SetClipboardText(const std::string& text) {
    QApplication::clipboard()->setText(FromSystemText(text));
}

void TfrmMain::DisplayHelp(std::uint16_t command, std::uint32_t context) {
    tarnwell::DisplayHelp(command, context);
}

void TfrmMain::ShowAbout() {
    frmAbout->exec();
}

void TfrmMain::LoadHelp() {
    LoadHtmlHelp();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TfrmMain::FormShow() {
    commands_.FormShow();
    // The window took its first size before it had a page; now that it has
    // one, it grows to show the page whole (the user's size is kept if
    // larger), but never past the screen: a scaled or small screen gets a
    // page whose groups reflow instead.
    QSize wanted = size().expandedTo(sizeHint());
    if (const QScreen* shownOn = screen()) wanted = wanted.boundedTo(shownOn->availableSize());
    resize(wanted);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the run, and no watch outlives the run.
    StopAllWatches();
    QMainWindow::closeEvent(event);
}

}  // namespace tarnwell
