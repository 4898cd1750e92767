// The Qt dispatcher: hand-overs served by the event loop in order, one at a
// time, and the workers' notices as ownerless, non-modal boxes.

#include "ui/qt/qt_dispatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/thread_base.h"

namespace tarnwell {
namespace {

QList<QMessageBox*> VisibleBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes.append(box);
    return boxes;
}

// A worker whose whole run is one notice.
class NoticeThread : public TThread {
  public:
    explicit NoticeThread(UiDispatcher& dispatcher) : TThread(dispatcher) {
        OnTerminate = [this](TThread&) { ++onTerminateRuns; };
    }
    ~NoticeThread() override { Terminate(); }
    int onTerminateRuns = 0;

  protected:
    void Execute() override { ShowMessageAndWait("Cannot Open"); }
};

}  // namespace

class QtDispatcherTest : public QObject {
    Q_OBJECT

  private slots:
    void postsRunOnTheGuiThreadInTheOrderTheyCame();
    void aNestedEventLoopDoesNotServeTheNextHandOver();
    void aNoticeIsAnOwnerlessNonModalBoxAndOkDismissesIt();
    void closeNoticeClosesWithoutDismissing();
    void aWorkerNoticeEndsTheRunWhenDismissed();
    void aStopClosesTheWorkersNotice();
};

void QtDispatcherTest::postsRunOnTheGuiThreadInTheOrderTheyCame() {
    QtDispatcher dispatcher;
    std::vector<std::string> order;  // GUI thread only
    bool allOnGuiThread = true;
    auto record = [&](std::string name) {
        return [&, name] {
            allOnGuiThread &= QThread::currentThread() == qApp->thread();
            order.push_back(name);
        };
    };
    dispatcher.Post(record("gui 1"));
    std::thread([&] {
        for (int i = 0; i < 100; ++i) dispatcher.Post(record("worker " + std::to_string(i)));
    }).join();
    dispatcher.Post(record("gui 2"));
    QVERIFY(order.empty());  // nothing runs inside Post

    QTRY_COMPARE(order.size(), std::size_t{102});
    QVERIFY(allOnGuiThread);
    QCOMPARE(order.front(), std::string("gui 1"));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(order[static_cast<std::size_t>(i) + 1], "worker " + std::to_string(i));
    QCOMPARE(order.back(), std::string("gui 2"));
}

void QtDispatcherTest::aNestedEventLoopDoesNotServeTheNextHandOver() {
    QtDispatcher dispatcher;
    std::vector<std::string> order;
    dispatcher.Post([&] {
        order.push_back("first begins");
        QEventLoop loop;  // what a modal box inside a hand-over would run
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        order.push_back("first ends");
    });
    dispatcher.Post([&] { order.push_back("second"); });
    QTRY_COMPARE(order.size(), std::size_t{3});
    QCOMPARE(order, (std::vector<std::string>{"first begins", "first ends", "second"}));
}

void QtDispatcherTest::aNoticeIsAnOwnerlessNonModalBoxAndOkDismissesIt() {
    QtDispatcher dispatcher;
    int dismissed = 0;
    dispatcher.ShowNotice("Cannot Read", [&] { ++dismissed; });
    QTRY_COMPARE(VisibleBoxes().size(), 1);
    QPointer<QMessageBox> box = VisibleBoxes().front();
    QCOMPARE(box->text(), QString("Cannot Read"));
    QVERIFY(box->windowTitle().isEmpty());
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box->parentWidget(), nullptr);
    QVERIFY(!box->isModal());
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(box->testAttribute(Qt::WA_DeleteOnClose));

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QCOMPARE(dismissed, 1);
    QTRY_VERIFY(box.isNull());
    QCOMPARE(dismissed, 1);
}

void QtDispatcherTest::closeNoticeClosesWithoutDismissing() {
    QtDispatcher dispatcher;
    int dismissed = 0;
    const auto id = dispatcher.ShowNotice("Cannot Open", [&] { ++dismissed; });
    QTRY_COMPARE(VisibleBoxes().size(), 1);
    QPointer<QMessageBox> box = VisibleBoxes().front();
    dispatcher.CloseNotice(id);
    QTRY_VERIFY(box.isNull());
    dispatcher.CloseNotice(id);       // closed already
    dispatcher.CloseNotice(id + 99);  // never shown
    QCoreApplication::processEvents();
    QCOMPARE(dismissed, 0);
}

void QtDispatcherTest::aWorkerNoticeEndsTheRunWhenDismissed() {
    QtDispatcher dispatcher;
    NoticeThread worker(dispatcher);
    worker.Resume();
    QTRY_COMPARE(VisibleBoxes().size(), 1);
    QMessageBox* box = VisibleBoxes().front();
    QCOMPARE(box->text(), QString("Cannot Open"));
    QVERIFY(!worker.Finished());
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_COMPARE(worker.onTerminateRuns, 1);
    QVERIFY(worker.Finished());
}

void QtDispatcherTest::aStopClosesTheWorkersNotice() {
    QtDispatcher dispatcher;
    NoticeThread worker(dispatcher);
    worker.Resume();
    QTRY_COMPARE(VisibleBoxes().size(), 1);
    QPointer<QMessageBox> box = VisibleBoxes().front();
    const auto start = std::chrono::steady_clock::now();
    worker.Terminate();
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::milliseconds(50));
    QVERIFY(worker.Finished());
    QTRY_VERIFY(box.isNull());
    QCoreApplication::processEvents();
    QCOMPARE(worker.onTerminateRuns, 0);
}

}  // namespace tarnwell

QTEST_MAIN(tarnwell::QtDispatcherTest)
#include "qt_dispatcher_test.moc"
