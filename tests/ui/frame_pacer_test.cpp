// The main window's paint pacing: a stream of changes is painted at most once
// a frame, and the last change is always painted.

#include "ui/qt/frame_pacer.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWidget>

namespace tarnwell {

namespace {

// Paints the number it was last given and counts its paints.
class Counter : public QWidget {
  public:
    using QWidget::QWidget;
    int value = 0;
    int paintedValue = -1;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        paintedValue = value;
        QPainter(this).drawText(rect(), Qt::AlignCenter, QString::number(value));
    }
};

}  // namespace

class FramePacerTest : public QObject {
    Q_OBJECT

  private slots:
    void aStreamOfChangesIsPaintedOnceAFrameAndTheLastOneToo();
};

void FramePacerTest::aStreamOfChangesIsPaintedOnceAFrameAndTheLastOneToo() {
    QWidget window;
    window.resize(200, 100);
    auto* counter = new Counter(&window);
    counter->resize(200, 100);
    new FramePacer(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(counter->paints > 0);

    counter->paints = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 200) {
        ++counter->value;
        counter->update();
        QCoreApplication::processEvents();
    }
    // However slow the machine: a paint at the start, then one a frame.
    QVERIFY2(counter->paints <= elapsed.elapsed() / FramePacer::kFrameMs + 2,
             qPrintable(
                 QStringLiteral("%1 paints in %2 ms").arg(counter->paints).arg(elapsed.elapsed())));
    QTRY_COMPARE(counter->paintedValue, counter->value);
}

}  // namespace tarnwell

QTEST_MAIN(tarnwell::FramePacerTest)
#include "frame_pacer_test.moc"
