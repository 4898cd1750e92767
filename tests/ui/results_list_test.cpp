// The results list: the ring buffer of rows under the model tester, and the
// report view's refusals (no sorting, no clipboard keys, only the time stamp
// editable).

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTest>

#include "ui/results_model.h"
#include "ui/results_view.h"

namespace tarnwell {

namespace {

ResultsModel::Row MakeRow(int n) {
    const QString tag = QString::number(n);
    return {QStringLiteral("stamp ") + tag, QStringLiteral("/data/") + tag,
            QStringLiteral("Created"), tag, QStringLiteral("host\\user")};
}

}  // namespace

class ResultsListTest : public QObject {
    Q_OBJECT

  private slots:
    void rowsStayInOrderAcrossTheRingsWrapAndGrowth();
    void onlyTheTimeStampCanBeEdited();
    void clearEmptiesTheList();
    void dropsTheOldestRowOfSixtyThousand();
    void theViewNeitherSortsNorCopies();
};

void ResultsListTest::rowsStayInOrderAcrossTheRingsWrapAndGrowth() {
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Fill, drop from the front so the head moves, then grow past the
    // capacity while the rows wrap around the end of the buffer.
    int next = 0;
    for (; next < 50; ++next) QCOMPARE(model.Append(MakeRow(next)), next);
    for (int i = 0; i < 30; ++i) model.RemoveFirst();
    for (; next < 200; ++next) model.Append(MakeRow(next));
    for (int i = 0; i < 100; ++i) model.RemoveFirst();

    QCOMPARE(model.rowCount(), 70);
    for (int row = 0; row < model.rowCount(); ++row) {
        QCOMPARE(model.index(row, 1).data().toString(), QStringLiteral("/data/%1").arg(row + 130));
        QCOMPARE(model.At(row)[3], QString::number(row + 130));
    }
    model.RemoveFirst();
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("stamp 131"));
}

void ResultsListTest::onlyTheTimeStampCanBeEdited() {
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.Append(MakeRow(1));
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    for (int column = 1; column < ResultsModel::kColumnCount; ++column) {
        QVERIFY(!(model.flags(model.index(0, column)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(0, column), QStringLiteral("changed")));
    }
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("edited")));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("edited"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/data/1"));
}

void ResultsListTest::clearEmptiesTheList() {
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 100; ++i) model.Append(MakeRow(i));
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    model.RemoveFirst();  // nothing to remove: no change, no signal out of range
    QCOMPARE(model.Append(MakeRow(7)), 0);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/data/7"));
}

void ResultsListTest::dropsTheOldestRowOfSixtyThousand() {
    ResultsModel model;
    ResultsView view;
    view.setModel(&model);
    view.resize(760, 300);
    view.show();
    for (int i = 0; i < 60000; ++i) model.Append(MakeRow(i));
    view.selectRow(1);
    // The trim of a full list: one new row at the end, the oldest one out.
    model.Append(MakeRow(60000));
    model.RemoveFirst();
    QCOMPARE(model.rowCount(), 60000);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/data/1"));
    QCOMPARE(model.index(59999, 1).data().toString(), QStringLiteral("/data/60000"));
    // The selection moves with its row.
    QCOMPARE(view.selectionModel()->selectedRows().value(0).row(), 0);
}

void ResultsListTest::theViewNeitherSortsNorCopies() {
    ResultsModel model;
    ResultsView view;
    view.setModel(&model);
    for (const int n : {3, 1, 2}) model.Append(MakeRow(n));
    view.resize(760, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // A click on "File Size" leaves the rows as they came.
    QHeaderView* header = view.horizontalHeader();
    const int x = header->sectionViewportPosition(3) + 10;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    for (int row = 0; row < 3; ++row)
        QCOMPARE(model.index(row, 3).data().toString(), QString::number(QList{3, 1, 2}[row]));
    QVERIFY(!header->sectionsMovable());

    QApplication::clipboard()->setText(QStringLiteral("before"));
    view.setFocus();
    view.setCurrentIndex(model.index(0, 1));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("stamp 3"));
}

}  // namespace tarnwell

QTEST_MAIN(tarnwell::ResultsListTest)
#include "results_list_test.moc"
