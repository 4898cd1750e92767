// DisplayHelp and the F1 routing against a real folder beside a fake
// executable path, with the viewer call and the warning box recorded.

#include "ui/qt/help.h"

#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ui/message_box_answerer.h"

using namespace tarnwell;

namespace {

constexpr unsigned kToc = 1, kIndex = 2, kContext = 0x0F;

struct Recorder {
    std::vector<std::string> events;
    int searches = 0;
};

std::string Show(const std::string& file, unsigned command, std::uint32_t data) {
    return "show " + file + " " + std::to_string(command) + " " + std::to_string(data);
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    Recorder recorder_;
    std::string folder_;
    std::string chm_;

    // The program's services with the executable in dir_ and the viewer call
    // and the warning recorded; the help file's existence test stays real.
    HelpRequestServices Recorded(bool viewer = true) {
        HelpRequestServices services = ProgramHelpServices();
        services.executableFolder = [this] { return folder_; };
        services.findViewer = [this, viewer] {
            ++recorder_.searches;
            return viewer;
        };
        services.showHelp = [this](const std::string& file, unsigned command, std::uint32_t data) {
            recorder_.events.push_back(Show(file, command, data));
        };
        services.warn = [this](const std::string& text) {
            recorder_.events.push_back("warn " + text);
        };
        return services;
    }
    // A fresh run with `services`, the viewer looked for.
    void StartRun(HelpRequestServices services) {
        recorder_ = {};
        SetHelpServices(std::move(services));
        LoadHtmlHelp();
    }
    void StartRun(bool viewer = true) { StartRun(Recorded(viewer)); }
    void PutHelpFile() { std::ofstream(chm_) << "ITSF"; }
    void RemoveHelpFile() { QDir().remove(QString::fromStdString(chm_)); }
    std::string Warning() const { return "warn Cannot find Help File : " + chm_; }

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = dir_.path().toStdString() + "/";
        chm_ = folder_ + "tarnwell.chm";
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

    void commandsWithTheFilePresent_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("data");
        QTest::addColumn<QString>("expected");  // empty: nothing at all
        QTest::newRow("context") << 1 << 1028 << QString("%1 1028").arg(kContext);
        QTest::newRow("contents keeps its data") << 3 << 7 << QString("%1 7").arg(kIndex);
        QTest::newRow("table of contents drops data") << 999 << 5 << QString("%1 0").arg(kToc);
        QTest::newRow("position notice") << 13 << 0x00640032 << QString();
        QTest::newRow("keyword request") << 257 << 1 << QString();
        QTest::newRow("command 0") << 0 << 0 << QString();
        QTest::newRow("command 2") << 2 << 0 << QString();
    }
    void commandsWithTheFilePresent() {
        QFETCH(int, command);
        QFETCH(int, data);
        QFETCH(QString, expected);
        PutHelpFile();
        StartRun();
        DisplayHelp(static_cast<std::uint16_t>(command), static_cast<std::uint32_t>(data));
        std::vector<std::string> want;
        if (!expected.isEmpty()) want.push_back("show " + chm_ + " " + expected.toStdString());
        QCOMPARE(recorder_.events, want);
    }

    void missingFileWarnsOnceThenPassesTheFileOn() {
        StartRun();
        DisplayHelp(999, 0);
        DisplayHelp(999, 0);
        DisplayHelp(1, 1028);
        const std::vector<std::string> want{Warning(), Show(chm_, kToc, 0),
                                            Show(chm_, kContext, 1028)};
        QCOMPARE(recorder_.events, want);
    }

    void folderNamedLikeTheHelpFileCountsAsMissing() {
        QVERIFY(QDir().mkpath(QString::fromStdString(chm_)));
        StartRun();
        DisplayHelp(999, 0);
        QCOMPARE(recorder_.events, std::vector<std::string>{Warning()});
    }

    void unknownCommandsOnlyTestAndWarn() {
        StartRun();
        DisplayHelp(13, 0);
        DisplayHelp(257, 0);
        DisplayHelp(13, 0);
        QCOMPARE(recorder_.events, std::vector<std::string>{Warning()});
    }

    void existenceIsTestedOnEveryRequest() {
        PutHelpFile();
        StartRun();
        DisplayHelp(999, 0);
        RemoveHelpFile();
        DisplayHelp(999, 0);
        const std::vector<std::string> want{Show(chm_, kToc, 0), Warning()};
        QCOMPARE(recorder_.events, want);
    }

    void requestWhileTheWarningIsOpenShowsNothing() {
        HelpRequestServices services = Recorded();
        services.warn = [this](const std::string& text) {
            recorder_.events.push_back("warn " + text);
            DisplayHelp(999, 0);  // the box leaves the windows usable
        };
        StartRun(std::move(services));
        DisplayHelp(999, 0);
        QCOMPARE(recorder_.events, std::vector<std::string>{Warning()});
        DisplayHelp(999, 0);
        QCOMPARE(recorder_.events.size(), 2u);
    }

    void withoutViewerNothingIsShownButTheWarningStays() {
        PutHelpFile();
        StartRun(false);
        DisplayHelp(999, 0);
        DisplayHelp(1, 1028);
        QVERIFY(recorder_.events.empty());
        RemoveHelpFile();
        DisplayHelp(999, 0);
        QCOMPARE(recorder_.events, std::vector<std::string>{Warning()});
    }

    void viewerIsLookedForOnce() {
        StartRun();
        QVERIFY(LoadHtmlHelp());
        QCOMPARE(recorder_.searches, 1);
    }

    void handlerPassesOnAndTakesTheRequest() {
        PutHelpFile();
        StartRun();
        bool callHelp = true;
        QCOMPARE(ApplicationEvents1Help(1, 1028, callHelp), false);
        QCOMPARE(callHelp, false);
        QCOMPARE(recorder_.events, std::vector<std::string>{Show(chm_, kContext, 1028)});
    }

    void realWarningBoxIsOwnerlessAndLeavesTheWindowsUsable() {
        HelpRequestServices services = Recorded();
        services.warn = ProgramHelpServices().warn;
        StartRun(std::move(services));
        QMessageBox::StandardButtons buttons;
        test::MessageBoxAnswerer answerer([&](const test::SeenBox& box) {
            buttons = box.box->standardButtons();
            return true;
        });
        DisplayHelp(999, 0);  // returns once the box is closed
        QCOMPARE(answerer.seen.size(), 1);
        const test::SeenBox& box = answerer.seen.front();
        QCOMPARE(box.caption, QString("Tarnwell"));
        QCOMPARE(box.text, QString::fromStdString(Warning().substr(5)));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!box.hasParent);
        QVERIFY(!box.modal);
        QVERIFY(recorder_.events.empty());

        DisplayHelp(999, 0);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(recorder_.events, std::vector<std::string>{Show(chm_, kToc, 0)});
    }

    void f1Routing() {
        QMainWindow main;
        auto* page = new QWidget;  // a watch page stand-in
        auto* path = new QLineEdit(page);
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(path);
        main.setCentralWidget(page);
        QMenu* helpMenu = main.menuBar()->addMenu("Help");
        QMenu* subMenu = helpMenu->addMenu("More");
        helpMenu->addAction("Tarnwell Help");
        QDialog about(&main);  // a separate window, like the About box
        auto* aboutField = new QLineEdit(&about);
        QMenu fieldMenu(aboutField);  // a menu that is not the main window's
        InstallHelpRouting(&main);
        InstallHelpRouting(&main);  // twice must not ask twice
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        StartRun();

        // The first F1: the position notice raises the warning, then the
        // context goes to the viewer with the missing file.
        QTest::keyClick(path, Qt::Key_F1);
        std::vector<std::string> want{Warning(), Show(chm_, kContext, 1028)};
        QCOMPARE(recorder_.events, want);

        QTest::keyClick(&main, Qt::Key_F1);
        want.push_back(Show(chm_, kContext, 1028));
        QCOMPARE(recorder_.events, want);

        // Other keys and F1 with a modifier are no help requests.
        QTest::keyClick(path, Qt::Key_F2);
        QTest::keyClick(path, Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(recorder_.events, want);

        helpMenu->popup(main.mapToGlobal(QPoint(10, 10)));
        QTest::keyClick(helpMenu, Qt::Key_F1);
        want.push_back(Show(chm_, kContext, 0));
        QTest::keyClick(subMenu, Qt::Key_F1);
        want.push_back(Show(chm_, kContext, 0));
        helpMenu->close();
        QCOMPARE(recorder_.events, want);

        about.show();
        QTest::keyClick(aboutField, Qt::Key_F1);
        QTest::keyClick(&about, Qt::Key_F1);
        QTest::keyClick(&fieldMenu, Qt::Key_F1);
        QCOMPARE(recorder_.events, want);
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
