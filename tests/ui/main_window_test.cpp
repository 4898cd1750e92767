// The main window: its frame at start-up, the tool bar's Start and Stop on the
// active page, pages that go on working while hidden, Ctrl+Tab, the Edit menu,
// and the end of the run stopping every watch.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <memory>

#include "message_box_answerer.h"
#include "ui/qt/fMain.h"
#include "ui/qt/help.h"
#include "watch_test_support.h"

namespace tarnwell {

namespace {

template <class T>
T* Control(QObject* root, const char* name) {
    T* control = root->findChild<T*>(QLatin1String(name));
    if (control == nullptr) qFatal("no control %s", name);
    return control;
}

QString StatusOf(TfrmWatcher* page) {
    return Control<QLabel>(page, "lblStatus")->text();
}

void SetPath(TfrmWatcher* page, const QString& path) {
    Control<QComboBox>(page, "cboPath")->setEditText(path);
}

void SetLog(TfrmWatcher* page, const QString& path) {
    Control<QCheckBox>(page, "chkOutputToFile")->setChecked(true);
    Control<QLineEdit>(page, "txtOutputFileName")->setText(path);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void startUpShowsOneNewWatchPageInTheFrame();
    void theToolBarActsOnTheActivePageAndHiddenPagesGoOn();
    void toolBarStartShowsTheActivePagesRefusal();
    void ctrlTabStepsBetweenPagesWithoutWrapping();
    void theEditMenuCopiesAndClearsTheActivePage();
    void closingTheWindowStopsEveryWatchAndClosesItsLog();
    void exitClosesTheWindow();
    void theDesktopKeysAreShownAndWork();
    void f1AsksForTheMainWindowsTopicOnlyOnce();
    void aLongPathKeepsItsTabNarrowWithTheWholePathAsTip();

  private:
    void Click(const char* toolButton) {
        QTest::mouseClick(Control<QToolButton>(window_.get(), toolButton), Qt::LeftButton);
    }
    QTabWidget* Tabs() { return Control<QTabWidget>(window_.get(), "ftcScreens"); }

    std::unique_ptr<test::RealServices> services_;
    std::unique_ptr<TfrmMain> window_;
    std::unique_ptr<QTemporaryDir> staging_;
};

void MainWindowTest::init() {
    services_ = std::make_unique<test::RealServices>();
    window_ = std::make_unique<TfrmMain>(services_->Context());
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    staging_ = std::make_unique<QTemporaryDir>();
}

void MainWindowTest::cleanup() {
    window_.reset();
    services_.reset();
    staging_.reset();
}

void MainWindowTest::startUpShowsOneNewWatchPageInTheFrame() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Watcher"));
    QCOMPARE(Tabs()->count(), 1);
    QCOMPARE(Tabs()->tabText(0), QStringLiteral("New Watch"));
    QCOMPARE(window_->ActivePage(), Tabs()->widget(0));
    QCOMPARE(window_->ActivePage()->Worker(), nullptr);
    QCOMPARE(StatusOf(window_->ActivePage()), QString());

    auto* toolBar = Control<QToolBar>(window_.get(), "ToolBar1");
    QCOMPARE(toolBar->height(), 29);
    for (const char* name : {"tbbNew", "tbbStart", "tbbStop"}) {
        auto* button = Control<QToolButton>(toolBar, name);
        QVERIFY2(button->text().isEmpty() && button->toolTip().isEmpty(), name);
        QVERIFY2(!button->icon().isNull(), name);
        QCOMPARE(button->icon().actualSize(QSize(16, 16)), QSize(16, 16));
    }

    // The menus and their items in order; separators as "-".
    const struct {
        const char* menu;
        const char* title;
        QStringList items;
    } menus[] = {
        {"File1", "File", {"NewWindow1:New Window", "-", "Exit1:Exit"}},
        {"Edit1",
         "Edit",
         {"CopyResultstoClipboard1:Copy Results to Clipboard",
          "ClearResultsList1:Clear Results List"}},
        {"Help1", "Help", {"TarnwellHelp1:Tarnwell Help", "-", "About1:About"}},
    };
    auto* menuBar = Control<QMenuBar>(window_.get(), "MainMenu1");
    QCOMPARE(menuBar->actions().size(), 3);
    for (const auto& expected : menus) {
        auto* menu = Control<QMenu>(menuBar, expected.menu);
        QCOMPARE(menu->title().remove(QLatin1Char('&')), QLatin1String(expected.title));
        QStringList items;
        for (QAction* item : menu->actions())
            items << (item->isSeparator() ? QStringLiteral("-")
                                          : item->objectName() + QLatin1Char(':') +
                                                item->text().remove(QLatin1Char('&')));
        QCOMPARE(items, expected.items);
    }

    auto* statusBar = Control<QStatusBar>(window_.get(), "StatusBar1");
    QVERIFY(statusBar->currentMessage().isEmpty());
    QVERIFY(statusBar->geometry().top() >= Tabs()->geometry().bottom());
}

void MainWindowTest::theToolBarActsOnTheActivePageAndHiddenPagesGoOn() {
    QTemporaryDir first, second;
    TfrmWatcher* page1 = window_->ActivePage();
    SetPath(page1, first.path());
    Click("tbbStart");
    QCOMPARE(StatusOf(page1), QStringLiteral("Running"));
    QCOMPARE(Tabs()->tabText(0), first.path());
    QTRY_VERIFY_WITH_TIMEOUT(test::IsWatched(first.path()), 5000);

    Click("tbbNew");
    QCOMPARE(Tabs()->count(), 2);
    TfrmWatcher* page2 = window_->ActivePage();
    QVERIFY(page2 != page1);
    QCOMPARE(Tabs()->tabText(1), QStringLiteral("New Watch"));
    QVERIFY(!page1->isVisible());

    // Stop acts on the active page only, which is not running.
    Click("tbbStop");
    QCOMPARE(StatusOf(page1), QStringLiteral("Running"));
    QCOMPARE(StatusOf(page2), QString());

    // The hidden page goes on reporting.
    QVERIFY(test::DropFile(*staging_, first.path(), QStringLiteral("while.hidden"), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(page1->RowCount(), 1, 5000);

    SetPath(page2, second.path());
    Click("tbbStart");
    QCOMPARE(Tabs()->tabText(1), second.path());
    QTRY_VERIFY_WITH_TIMEOUT(test::IsWatched(second.path()), 5000);
    CProcessThread* worker2 = page2->Worker();
    Click("tbbStart");  // already running: nothing
    QCOMPARE(page2->Worker(), worker2);

    QVERIFY(test::DropFile(*staging_, second.path(), QStringLiteral("on.two"), "x"));
    QVERIFY(test::DropFile(*staging_, first.path(), QStringLiteral("on.one"), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(page2->RowCount(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(page1->RowCount(), 2, 5000);
    QCOMPARE(page2->ResultsAsText().count(QStringLiteral("on.two")), 1);
    QCOMPARE(page1->ResultsAsText().count(QStringLiteral("on.two")), 0);

    Click("tbbStop");
    QCOMPARE(StatusOf(page2), QStringLiteral("Not Running"));
    QCOMPARE(StatusOf(page1), QStringLiteral("Running"));
    QCOMPARE(Tabs()->tabText(1), second.path());  // Stop leaves the tab as it is
}

void MainWindowTest::toolBarStartShowsTheActivePagesRefusal() {
    TfrmWatcher* page = window_->ActivePage();
    SetPath(page, QStringLiteral("/nowhere"));
    Control<QCheckBox>(page, "chkFlagCreateFile")->setChecked(false);
    test::MessageBoxAnswerer answerer;
    Click("tbbStart");
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.front().caption, QStringLiteral("Tarnwell"));
    QVERIFY(answerer.seen.front().text.startsWith(QStringLiteral("At least 1 Activity")));
    QCOMPARE(StatusOf(page), QStringLiteral("Not Running"));
    QCOMPARE(Tabs()->tabText(0), QStringLiteral("/nowhere"));
}

void MainWindowTest::ctrlTabStepsBetweenPagesWithoutWrapping() {
    Click("tbbNew");
    Click("tbbNew");
    QCOMPARE(Tabs()->currentIndex(), 2);
    const auto press = [this](Qt::KeyboardModifiers modifiers) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window_.get(), Qt::Key_Tab, modifiers);
    };
    const Qt::KeyboardModifiers next = Qt::ControlModifier;
    const Qt::KeyboardModifiers previous = Qt::ControlModifier | Qt::ShiftModifier;

    press(next);  // the last page: stays
    QCOMPARE(Tabs()->currentIndex(), 2);
    press(previous);
    QCOMPARE(Tabs()->currentIndex(), 1);
    press(previous);
    QCOMPARE(Tabs()->currentIndex(), 0);
    press(previous);  // the first page: stays
    QCOMPARE(Tabs()->currentIndex(), 0);
    press(next);
    QCOMPARE(Tabs()->currentIndex(), 1);
    // From inside the results list too, which would otherwise take Tab for itself.
    Control<QWidget>(window_->ActivePage(), "lvwResults")->setFocus();
    press(next);
    QCOMPARE(Tabs()->currentIndex(), 2);
}

void MainWindowTest::theEditMenuCopiesAndClearsTheActivePage() {
    QTemporaryDir folder;
    TfrmWatcher* page = window_->ActivePage();
    SetPath(page, folder.path());
    Click("tbbStart");
    QTRY_VERIFY_WITH_TIMEOUT(test::IsWatched(folder.path()), 5000);
    QVERIFY(test::DropFile(*staging_, folder.path(), QStringLiteral("one"), "1"));
    QVERIFY(test::DropFile(*staging_, folder.path(), QStringLiteral("two"), "22"));
    QTRY_COMPARE_WITH_TIMEOUT(page->RowCount(), 2, 5000);
    Click("tbbStop");

    Control<QAction>(window_.get(), "CopyResultstoClipboard1")->trigger();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("Time Stamp\tFile Name\tAction\tFile Size\tOwner"));
    const QString owner = test::ExpectedOwner();
    QVERIFY2(lines[1].endsWith(
                 QStringLiteral("\t%1\tCreated\t1\t%2").arg(folder.filePath("one"), owner)),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].endsWith(
                 QStringLiteral("\t%1\tCreated\t2\t%2").arg(folder.filePath("two"), owner)),
             qPrintable(lines[2]));
    QVERIFY(lines[3].isEmpty());

    Control<QAction>(window_.get(), "ClearResultsList1")->trigger();
    QCOMPARE(page->RowCount(), 0);
}

void MainWindowTest::closingTheWindowStopsEveryWatchAndClosesItsLog() {
    QTemporaryDir folder, logs;
    QList<TfrmWatcher*> pages{window_->ActivePage(), window_->AddWatchPage()};
    QStringList logPaths;
    for (int i = 0; i < 2; ++i) {
        // Two pages may watch the same folder, each with its own worker and log.
        logPaths << logs.filePath(QStringLiteral("page%1.log").arg(i));
        SetPath(pages[i], folder.path());
        SetLog(pages[i], logPaths[i]);
        pages[i]->StartWatch();
        QCOMPARE(StatusOf(pages[i]), QStringLiteral("Running"));
    }
    // Each worker sets its watch up at its first read: drop files until both report.
    int dropped = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        (test::DropFile(*staging_, folder.path(), QStringLiteral("f%1").arg(dropped++), "x"),
         pages[0]->RowCount() > 0 && pages[1]->RowCount() > 0),
        5000);

    QVERIFY(window_->close());
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(StatusOf(pages[i]), QStringLiteral("Not Running"));
        QCOMPARE(pages[i]->Worker(), nullptr);
        QVERIFY(!test::ProcessHasOpen(logPaths[i]));
        // The close wrote the buffered lines: one for every change counted.
        QCOMPARE(static_cast<qlonglong>(test::ReadAll(logPaths[i]).count("\r\n")),
                 Control<QLabel>(pages[i], "lblChangeCount")->text().toLongLong());
    }
}

void MainWindowTest::exitClosesTheWindow() {
    Control<QAction>(window_.get(), "Exit1")->trigger();
    QVERIFY(!window_->isVisible());
}

void MainWindowTest::theDesktopKeysAreShownAndWork() {
    QCOMPARE(Control<QAction>(window_.get(), "NewWindow1")->shortcut(),
             QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(Control<QAction>(window_.get(), "Exit1")->shortcut(),
             QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(Control<QAction>(window_.get(), "TarnwellHelp1")->shortcut(),
             QKeySequence(Qt::Key_F1));

    const auto press = [this](QKeyCombination keys) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window_.get(), keys.key(),
                        keys.keyboardModifiers());
    };
    press(Qt::CTRL | Qt::Key_N);
    QCOMPARE(Tabs()->count(), 2);
    QCOMPARE(Tabs()->currentIndex(), 1);
    press(Qt::CTRL | Qt::Key_Q);
    QVERIFY(!window_->isVisible());
}

void MainWindowTest::f1AsksForTheMainWindowsTopicOnlyOnce() {
    // F1 is shown beside Tarnwell Help, but the key must still go through the
    // help routing (context 1028), not trigger the menu item (contents).
    QTemporaryDir folder;
    QFile chm(folder.filePath(QStringLiteral("tarnwell.chm")));
    QVERIFY(chm.open(QIODevice::WriteOnly));
    chm.close();
    QStringList requests;
    HelpRequestServices services = ProgramHelpServices();
    services.executableFolder = [&folder] { return folder.path().toStdString() + "/"; };
    services.findViewer = [] { return true; };
    services.showHelp = [&requests](const std::string&, unsigned command, std::uint32_t data) {
        requests << QStringLiteral("%1 %2").arg(command).arg(data);
    };
    SetHelpServices(services);
    LoadHtmlHelp();
    InstallHelpRouting(window_.get());

    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : window_.get(), Qt::Key_F1);
    QCOMPARE(requests, QStringList{QStringLiteral("15 1028")});
    Control<QAction>(window_.get(), "TarnwellHelp1")->trigger();
    QCOMPARE(requests, (QStringList{QStringLiteral("15 1028"), QStringLiteral("1 0")}));
    SetHelpServices(ProgramHelpServices());
}

void MainWindowTest::aLongPathKeepsItsTabNarrowWithTheWholePathAsTip() {
    window_->resize(1000, 700);
    TfrmWatcher* first = window_->ActivePage();
    window_->AddWatchPage();
    QString path = QStringLiteral("/home/user");
    while (path.size() < 207) path += QStringLiteral("/a folder with a long name");
    path += QStringLiteral("/a&b");
    first->SetTabCaption(path);

    QTabBar* bar = Tabs()->tabBar();
    // The tab's text is the path; on screen it is kept narrow, so both tabs show.
    QCOMPARE(bar->tabText(0).replace(QStringLiteral("&&"), QStringLiteral("&")), path);
    QVERIFY(bar->tabRect(0).width() < bar->fontMetrics().averageCharWidth() * 50);
    QVERIFY(bar->rect().contains(bar->tabRect(1)));

    QHelpEvent tip(QEvent::ToolTip, bar->tabRect(0).center(),
                   bar->mapToGlobal(bar->tabRect(0).center()));
    QApplication::sendEvent(bar, &tip);
    QTRY_COMPARE(QToolTip::text(), path);
    QToolTip::hideText();
}

}  // namespace tarnwell

QTEST_MAIN(tarnwell::MainWindowTest)
#include "main_window_test.moc"
