// The run of the program: the error display for errors that escape an event
// handler, and a whole run from start-up to the end of the run with two
// watches going when the main window is closed.

#include "ui/qt/application.h"

#include <signal.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <stdexcept>

#include "message_box_answerer.h"
#include "ui/qt/fMain.h"
#include "watch_test_support.h"

namespace tarnwell {

namespace {

// Raises an error from its event handler for every posted event it gets.
class ThrowingReceiver : public QObject {
  public:
    QString message;
    bool throwStd = true;
    int handled = 0;

    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) return QObject::event(event);
        ++handled;
        if (throwStd) throw std::runtime_error(message.toStdString());
        throw 42;  // an error that carries no message
    }
};

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

  private slots:
    void theErrorTextEndsInAFullStop_data();
    void theErrorTextEndsInAFullStop();
    void anErrorInAnEventHandlerIsShownAndTheLoopGoesOn_data();
    void anErrorInAnEventHandlerIsShownAndTheLoopGoesOn();
    void aRunEndsWithEveryWatchStoppedAndExitCodeZero();
    void anEndSignalEndsTheRunWithEveryLogLineOnDisk_data();
    void anEndSignalEndsTheRunWithEveryLogLineOnDisk();
};

void ApplicationTest::theErrorTextEndsInAFullStop_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Disk full"
                            << "Disk full.";
    QTest::newRow("digit") << "Error 5"
                           << "Error 5.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation mark") << "Stop!"
                                      << "Stop!";
    QTest::newRow("hyphen, below the full stop") << "a-"
                                                 << "a-";
    QTest::newRow("slash, above the full stop") << "a/"
                                                << "a/.";
    QTest::newRow("accented letter")
        << QString::fromUtf8("caf\u00e9") << QString::fromUtf8("caf\u00e9.");
    QTest::newRow("empty") << ""
                           << "";
}

void ApplicationTest::theErrorTextEndsInAFullStop() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorDisplayText(message), shown);
}

void ApplicationTest::anErrorInAnEventHandlerIsShownAndTheLoopGoesOn_data() {
    QTest::addColumn<bool>("throwStd");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a message") << true << "Out of handles"
                               << "Out of handles.";
    QTest::newRow("no message") << false << ""
                                << "";
    // Shown as the characters it holds, never as a link to click.
    QTest::newRow("markup") << true << "<a href=\"file:///etc/passwd\">Click to repair</a>"
                            << "<a href=\"file:///etc/passwd\">Click to repair</a>.";
}

void ApplicationTest::anErrorInAnEventHandlerIsShownAndTheLoopGoesOn() {
    QFETCH(bool, throwStd);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    ThrowingReceiver receiver;
    receiver.throwStd = throwStd;
    receiver.message = message;
    test::MessageBoxAnswerer answerer;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QTRY_COMPARE(receiver.handled, 2);
    QTRY_COMPARE(answerer.seen.size(), 2);
    for (const test::SeenBox& box : answerer.seen) {
        QCOMPARE(box.caption, QStringLiteral("Tarnwell"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, shown);
        QCOMPARE(box.format, Qt::PlainText);
    }
}

void ApplicationTest::aRunEndsWithEveryWatchStoppedAndExitCodeZero() {
    QTemporaryDir folder, staging, logs;
    const QStringList logPaths{logs.filePath(QStringLiteral("a.log")),
                               logs.filePath(QStringLiteral("b.log"))};
    QList<QPointer<TfrmWatcher>> pages;
    bool bothReported = false;

    // Plays the user once the run's main window is up.
    QTimer::singleShot(0, [&] {
        TfrmMain* window = nullptr;
        const bool up = QTest::qWaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* main = qobject_cast<TfrmMain*>(widget); main && main->isVisible())
                    window = main;
            return window != nullptr && window->ActivePage() != nullptr;
        });
        if (!up) {
            QCoreApplication::quit();  // the checks below then fail
            return;
        }
        pages << window->ActivePage() << window->AddWatchPage();
        for (int i = 0; i < 2; ++i) {
            pages[i]->findChild<QComboBox*>(QStringLiteral("cboPath"))->setEditText(folder.path());
            pages[i]->findChild<QCheckBox*>(QStringLiteral("chkOutputToFile"))->setChecked(true);
            pages[i]
                ->findChild<QLineEdit*>(QStringLiteral("txtOutputFileName"))
                ->setText(logPaths[i]);
            pages[i]->StartWatch();
        }
        int dropped = 0;
        bothReported = QTest::qWaitFor([&] {
            test::DropFile(staging, folder.path(), QStringLiteral("f%1").arg(dropped++), "x");
            return pages[0]->RowCount() > 0 && pages[1]->RowCount() > 0;
        });
        window->close();
    });

    auto* app = static_cast<TarnwellApplication*>(QCoreApplication::instance());
    QCOMPARE(RunTarnwell(*app), 0);
    QVERIFY(bothReported);
    // The windows are gone, and with them the pages.
    QVERIFY(pages.size() == 2 && !pages[0] && !pages[1]);
    for (const QString& log : logPaths) {
        QVERIFY(!test::ProcessHasOpen(log));
        QVERIFY(test::ReadAll(log).contains("\r\n"));
    }
}

void ApplicationTest::anEndSignalEndsTheRunWithEveryLogLineOnDisk_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM, kill and logout") << int(SIGTERM);
    QTest::newRow("SIGINT, Ctrl+C") << int(SIGINT);
    QTest::newRow("SIGHUP, the terminal went") << int(SIGHUP);
}

void ApplicationTest::anEndSignalEndsTheRunWithEveryLogLineOnDisk() {
    QFETCH(int, signalNumber);
    QTemporaryDir folder, staging, logs;
    const QString logPath = logs.filePath(QStringLiteral("run.log"));
    constexpr int kChanges = 5;
    bool reported = false;
    bool signalled = false;
    QElapsedTimer sinceSignal;

    QTimer::singleShot(0, [&] {
        TfrmMain* window = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* main = qobject_cast<TfrmMain*>(widget); main && main->isVisible())
                    window = main;
            return window != nullptr && window->ActivePage() != nullptr;
        });
        if (window == nullptr) {
            QCoreApplication::quit();
            return;
        }
        TfrmWatcher* page = window->ActivePage();
        page->findChild<QComboBox*>(QStringLiteral("cboPath"))->setEditText(folder.path());
        page->findChild<QCheckBox*>(QStringLiteral("chkOutputToFile"))->setChecked(true);
        page->findChild<QLineEdit*>(QStringLiteral("txtOutputFileName"))->setText(logPath);
        page->StartWatch();
        if (!QTest::qWaitFor([&] { return test::IsWatched(folder.path()); }, 5000)) {
            window->close();
            return;
        }
        for (int i = 0; i < kChanges; ++i)
            test::DropFile(staging, folder.path(), QStringLiteral("f%1").arg(i), "x");
        reported = QTest::qWaitFor([&] { return page->RowCount() == kChanges; }, 10000);
        // The lines are still in the stream's buffer: only the end of the run
        // puts them on disk.
        sinceSignal.start();
        signalled = ::kill(::getpid(), signalNumber) == 0;
        // A window left open would keep the loop going if the signal did not
        // end it; the deadline turns that into a failure instead of a hang.
        QTimer::singleShot(10000, window, [window] { window->close(); });
    });

    auto* app = static_cast<TarnwellApplication*>(QCoreApplication::instance());
    QCOMPARE(RunTarnwell(*app), 0);
    QVERIFY(reported);
    QVERIFY(signalled);
    QVERIFY2(sinceSignal.elapsed() < 9000, "the signal did not end the run");
    QVERIFY(!test::ProcessHasOpen(logPath));
    QCOMPARE(test::ReadAll(logPath).count("\r\n"), kChanges);
}

}  // namespace tarnwell

int main(int argc, char** argv) {
    tarnwell::TarnwellApplication app(argc, argv);
    tarnwell::ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "application_test.moc"
