// The results list: the ring buffer of rows under the model tester, and the
// report view's refusals (no sorting, no clipboard keys, only the time stamp
// editable).

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTest>
#include <algorithm>
#include <optional>

#include "engine/time_stamp.h"
#include "ui/qt/results_model.h"
#include "ui/qt/results_view.h"
#include "ui/results_columns.h"

namespace tarnwell {

namespace {

ResultsModel::Row MakeRow(int n) {
    const std::string tag = std::to_string(n);
    return {"stamp " + tag, "/data/" + tag, "Created", tag, "host\\user"};
}

}  // namespace

class ResultsListTest : public QObject {
    Q_OBJECT

  private slots:
    void rowsStayInOrderAcrossTheRingsWrapAndGrowth();
    void onlyTheTimeStampCanBeEdited();
    void clearEmptiesTheList();
    void dropsTheOldestRowOfSixtyThousand();
    void aBatchShowsWhatItsStepsWouldHaveShown_data();
    void aBatchShowsWhatItsStepsWouldHaveShown();
    void anOpenEditorKeepsItsTextWhileTheListMovesUp();
    void everyNewRowIsAnnouncedAlsoOneThatCameAndWent();
    void theViewNeitherSortsNorCopies();
    void columnsFitTheirTextsAndFileNameTakesTheRest_data();
    void columnsFitTheirTextsAndFileNameTakesTheRest();
    void cellsLookAsTheStyleDrawsThem();
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
        QCOMPARE(model.At(row)[3], std::to_string(row + 130));
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

namespace {

// What a view shows of a list: its texts, its selected and current rows, and
// how far it is scrolled.
struct Shown {
    QStringList paths;
    QList<int> selected;
    int currentRow = -1;
    int currentColumn = -1;
    int scroll = 0;

    bool operator==(const Shown&) const = default;
};

Shown ShownBy(const ResultsView& view, const ResultsModel& model) {
    Shown shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.paths << model.index(row, 1).data().toString();
    for (const QModelIndex& row : view.selectionModel()->selectedRows())
        shown.selected << row.row();
    shown.currentRow = view.currentIndex().row();
    shown.currentColumn = view.currentIndex().column();
    shown.scroll = view.verticalScrollBar()->value();
    return shown;
}

// Lets QCOMPARE print what each view shows.
char* toString(const Shown& shown) {
    QString text = QStringLiteral("selected {");
    for (const int row : shown.selected) text += QString::number(row) + QLatin1Char(' ');
    text += QStringLiteral("} current (%1,%2) scroll %3 rows %4..%5")
                .arg(shown.currentRow)
                .arg(shown.currentColumn)
                .arg(shown.scroll)
                .arg(shown.paths.value(0), shown.paths.value(shown.paths.size() - 1));
    return qstrdup(text.toUtf8().constData());
}

// How a test leaves the view before the list moves: the row to select (-1
// for none), then the cell to make current (-1 to keep what selecting made).
struct Held {
    int selectedRow = -1;
    int currentRow = -1;
    int currentColumn = 0;
};

constexpr int kFullList = 50;

void Prepare(ResultsView& view, ResultsModel& model, const Held& held, int scrollTo) {
    // Whichever of the two windows got the focus would make its first row
    // current; the cases say what is current.
    view.setFocusPolicy(Qt::NoFocus);
    view.setModel(&model);
    // Wired as the page wires them.
    QObject::connect(&model, &ResultsModel::RowToShow, &view,
                     [&](int row) { view.scrollTo(model.index(row, 0)); });
    model.SetFirstRowsHeld([&view](int rows) { return view.HoldsFirstRows(rows); });
    view.resize(760, 300);
    view.show();
    for (int i = 0; i < kFullList; ++i) model.Append(MakeRow(i));
    view.scrollTo(model.index(scrollTo, 0), QAbstractItemView::PositionAtTop);
    if (held.selectedRow >= 0) view.selectRow(held.selectedRow);
    if (held.currentRow >= 0)
        view.selectionModel()->setCurrentIndex(model.index(held.currentRow, held.currentColumn),
                                               QItemSelectionModel::NoUpdate);
}

}  // namespace

void ResultsListTest::aBatchShowsWhatItsStepsWouldHaveShown_data() {
    QTest::addColumn<int>("selectedRow");
    QTest::addColumn<int>("currentRow");
    QTest::addColumn<int>("currentColumn");
    QTest::addColumn<bool>("autoScroll");
    QTest::addColumn<int>("added");       // rows appended in one batch
    QTest::addColumn<int>("maximum");     // rows kept: the first ones go as each row comes
    QTest::addColumn<int>("unmatched");   // records after them that add no row but trim
    QTest::addColumn<int>("hoveredRow");  // an index held on a row that is not the view's choice
    QTest::addColumn<bool>("inPlace");    // the view is not told of a removal of first rows

    // A full list: each new row takes the place of the first one.
    QTest::newRow("nothing held") << -1 << -1 << 0 << false << 1 << kFullList << 0 << -1 << true;
    QTest::newRow("nothing held, scrolled to the new row")
        << -1 << -1 << 0 << true << 1 << kFullList << 0 << -1 << true;
    QTest::newRow("selected row in the middle")
        << 7 << -1 << 0 << false << 3 << kFullList << 0 << -1 << true;
    QTest::newRow("selected last row, scrolled to the new row")
        << 49 << -1 << 0 << true << 3 << kFullList << 0 << -1 << true;
    QTest::newRow("current cell away from its selected row")
        << 7 << 30 << 3 << false << 3 << kFullList << 0 << -1 << true;
    QTest::newRow("second row selected, one row")
        << 1 << -1 << 0 << true << 1 << kFullList << 0 << -1 << true;
    // The view moves a current first row on to the next one itself, and a
    // selection on a row that goes away is dropped with a signal: both need
    // a real removal.
    QTest::newRow("second row selected, three rows")
        << 1 << -1 << 0 << true << 3 << kFullList << 0 << -1 << false;
    QTest::newRow("first row selected and current")
        << 0 << -1 << 0 << true << 1 << kFullList << 0 << -1 << false;
    QTest::newRow("first row selected, current elsewhere")
        << 0 << 12 << 2 << false << 3 << kFullList << 0 << -1 << false;
    QTest::newRow("first row current, nothing selected")
        << -1 << 0 << 4 << false << 1 << kFullList << 0 << -1 << false;
    // A maximum lowered below what the list holds: every record trims one
    // row, so records that add none shrink the list.
    QTest::newRow("lowered maximum") << -1 << -1 << 0 << true << 3 << 10 << 5 << -1 << true;
    QTest::newRow("lowered maximum, a row held")
        << 20 << -1 << 0 << false << 3 << 10 << 5 << -1 << true;
    // More rows than the list holds: rows come and go within the batch.
    QTest::newRow("a batch longer than the list")
        << -1 << -1 << 0 << true << 60 << kFullList << 0 << -1 << true;
    QTest::newRow("a batch longer than the list, a row held")
        << 30 << -1 << 0 << true << 60 << kFullList << 0 << -1 << false;
    QTest::newRow("a maximum of 0") << -1 << -1 << 0 << true << 3 << 0 << 60 << -1 << false;
    QTest::newRow("a maximum of 0, a row held")
        << 5 << -1 << 0 << false << 3 << 0 << 60 << -1 << false;
    // The row under a resting mouse pointer holds an index too; the view
    // does not answer its removal, so the rows still move up in place.
    QTest::newRow("the row under the mouse goes")
        << -1 << -1 << 0 << true << 3 << kFullList << 0 << 1 << true;
    QTest::newRow("the row under the mouse stays")
        << -1 << -1 << 0 << true << 3 << kFullList << 0 << 20 << true;
}

// The page's batch tells the view of all its rows in one step; what the
// view shows after it must be what the steps one by one would have left,
// and say so to the item-model contract.
void ResultsListTest::aBatchShowsWhatItsStepsWouldHaveShown() {
    QFETCH(int, selectedRow);
    QFETCH(int, currentRow);
    QFETCH(int, currentColumn);
    QFETCH(bool, autoScroll);
    QFETCH(int, added);
    QFETCH(int, maximum);
    QFETCH(int, unmatched);
    QFETCH(int, hoveredRow);
    QFETCH(bool, inPlace);
    const Held held{selectedRow, currentRow, currentColumn};
    constexpr int kScrolledTo = 20;

    ResultsModel expectedModel;
    ResultsView expectedView;
    Prepare(expectedView, expectedModel, held, kScrolledTo);
    // The reference takes every step as a real insertion and removal.
    expectedModel.SetFirstRowsHeld([](int) { return true; });
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ResultsView view;
    Prepare(view, model, held, kScrolledTo);
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QPersistentModelIndex hovered, expectedHovered;
    if (hoveredRow >= 0) {
        hovered = model.index(hoveredRow, 1);
        expectedHovered = expectedModel.index(hoveredRow, 1);
    }

    // Twice, so the second batch meets what the first one left held.
    int next = kFullList;
    for (int batch = 0; batch < 2; ++batch) {
        // The page's order: append, scroll to the new row when asked, trim.
        std::optional<std::uint64_t> scrollTo;
        const int shownBefore = model.rowCount();
        model.BeginBatch();
        for (int i = 0; i < added; ++i, ++next) {
            const int expectedIndex = expectedModel.Append(MakeRow(next));
            if (autoScroll) expectedView.scrollTo(expectedModel.index(expectedIndex, 0));
            if (expectedModel.rowCount() > maximum) expectedModel.RemoveFirst();

            const int last = model.Append(MakeRow(next));
            QCOMPARE(model.At(last)[1], "/data/" + std::to_string(next));
            if (autoScroll) scrollTo = model.Serial(last);
            if (model.Count() > maximum) model.RemoveFirst();
        }
        for (int i = 0; i < unmatched; ++i) {
            if (expectedModel.rowCount() > maximum) expectedModel.RemoveFirst();
            if (model.Count() > maximum) model.RemoveFirst();
        }
        QCOMPARE(model.rowCount(), shownBefore);
        model.EndBatch(scrollTo);
        if (batch == 0) {
            const bool firstRowsRemoved =
                std::any_of(removed.begin(), removed.end(),
                            [](const QList<QVariant>& r) { return r.at(1) == 0; });
            QCOMPARE(!firstRowsRemoved, inPlace);
        }
        // A removal fits the scroll bar to the shorter list only when the
        // view lays itself out again.
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), expectedModel.rowCount());
        QCOMPARE(ShownBy(view, model), ShownBy(expectedView, expectedModel));
        QCOMPARE(hovered.row(), expectedHovered.row());
    }
}

void ResultsListTest::anOpenEditorKeepsItsTextWhileTheListMovesUp() {
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ResultsView view;
    view.setModel(&model);
    view.resize(760, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < kFullList; ++i) model.Append(MakeRow(i));

    view.setCurrentIndex(model.index(3, 2));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->setText(QStringLiteral("typed"));

    model.BeginBatch();
    QCOMPARE(model.Append(MakeRow(kFullList)), kFullList);
    model.RemoveFirst();
    model.EndBatch();
    QCOMPARE(editor->text(), QStringLiteral("typed"));
    QCOMPARE(editor->geometry().top(), view.visualRect(model.index(2, 0)).top());
    QCOMPARE(view.selectionModel()->selectedRows().value(0).row(), 2);

    QTest::keyClick(editor, Qt::Key_Return);  // the delegate commits from the event loop
    QTRY_COMPARE(model.index(2, 0).data().toString(), QStringLiteral("typed"));
    QCOMPARE(model.index(2, 1).data().toString(), QStringLiteral("/data/3"));
}

void ResultsListTest::everyNewRowIsAnnouncedAlsoOneThatCameAndWent() {
    ResultsModel model;
    QSignalSpy appended(&model, &ResultsModel::RowAppended);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.BeginBatch();
    for (int n = 0; n < 3; ++n) model.Append(MakeRow(n));
    model.RemoveFirst();
    model.RemoveFirst();
    QCOMPARE(model.Append(MakeRow(3)), 1);
    QCOMPARE(appended.size(), 4);
    QCOMPARE(appended.at(3).at(0).toInt(), 1);
    QCOMPARE(model.At(appended.at(3).at(0).toInt())[1], std::string("/data/3"));
    // The views hear of the batch once, and only of the rows that stayed.
    QVERIFY(inserted.isEmpty());
    model.EndBatch();
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/data/2"));
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

namespace tarnwell {

void ResultsListTest::columnsFitTheirTextsAndFileNameTakesTheRest_data() {
    QTest::addColumn<bool>("twelveHourClock");
    QTest::addColumn<QString>("datePattern");
    QTest::newRow("United States English") << true << "M/d/yyyy";
    QTest::newRow("24 hours, long date") << false << "dd.MM.yyyy";
}

void ResultsListTest::columnsFitTheirTextsAndFileNameTakesTheRest() {
    QFETCH(bool, twelveHourClock);
    QFETCH(QString, datePattern);
    RegionalSettings settings;
    settings.twelveHourClock = twelveHourClock;
    settings.shortDatePattern = datePattern.toStdString();
    const auto fits = ResultsColumnFits(settings, "workstation\\alexandra.longname");

    ResultsModel model;
    ResultsView view;
    view.setModel(&model);
    view.FitColumns(fits);
    view.resize(1000, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QHeaderView* columns = view.horizontalHeader();

    // Every text a column can show fits whole, with the cell's margins.
    const int margins = 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int column : {0, 2, 3, 4}) {
        QVERIFY(!fits[column].texts.empty() || column == 4);
        for (const std::string& text : fits[column].texts)
            QVERIFY2(view.fontMetrics().horizontalAdvance(QString::fromStdString(text)) + margins <=
                         columns->sectionSize(column),
                     text.c_str());
        QVERIFY(columns->sectionSize(column) >= columns->sectionSizeHint(column));
    }
    // The stamp keeps its time: the widest one of the fits is a real stamp.
    QVERIFY(QString::fromStdString(fits[0].texts.front()).contains(QStringLiteral("58:58")));
    QVERIFY(std::find(fits[2].texts.begin(), fits[2].texts.end(), "Renamed - From") !=
            fits[2].texts.end());

    // File Name takes what the others leave, also after the window grows.
    const auto widthOfAll = [&] {
        int sum = 0;
        for (int i = 0; i < columns->count(); ++i) sum += columns->sectionSize(i);
        return sum;
    };
    QCOMPARE(widthOfAll(), view.viewport()->width());
    view.resize(1200, 300);
    QTRY_COMPARE(widthOfAll(), view.viewport()->width());

    // Once the user has sized a column, the widths are theirs.
    columns->resizeSection(2, 300);
    const int fileName = columns->sectionSize(1);
    view.resize(1300, 300);
    QTest::qWait(0);
    QCOMPARE(columns->sectionSize(1), fileName);
    QCOMPARE(columns->sectionSize(2), 300);
    QCOMPARE(columns->sectionResizeMode(1), QHeaderView::Interactive);

    // A long path is shortened in its middle on screen and whole in its tip.
    const QString path = QStringLiteral("/home/user/") + QString(200, QLatin1Char('d')) +
                         QStringLiteral("/report.txt");
    model.Append({"stamp", path.toStdString(), "Created", "1", ""});
    QCOMPARE(model.index(0, 1).data(Qt::ToolTipRole).toString(), path);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    auto* delegate = qobject_cast<QStyledItemDelegate*>(view.itemDelegateForColumn(1));
    QVERIFY(delegate != nullptr);
    class Peek : public QStyledItemDelegate {
      public:
        static void Init(QStyledItemDelegate* d, QStyleOptionViewItem* o, const QModelIndex& i) {
            (d->*(&Peek::initStyleOption))(o, i);
        }
    };
    Peek::Init(delegate, &option, model.index(0, 1));
    QCOMPARE(option.textElideMode, Qt::ElideMiddle);
}

// The list keeps its cells' laid-out texts from paint to paint; what it
// paints must be what the style's own delegate paints: panels, the selected
// row, texts cut at the end or (the path) in the middle, empty cells, and a
// row whose text changed in place.
void ResultsListTest::cellsLookAsTheStyleDrawsThem() {
    ResultsModel model;
    model.Append({"12/10/2026 1:15:00 PM", "/data/short", "Created", "100", "host\\user"});
    model.Append({"12/10/2026 1:15:01 PM",
                  "/data/a/rather/long/folder/name/that/cannot/fit/in/its/column/file.txt",
                  "Renamed - From", "4294967295", "workstation\\alexandra.longname"});
    model.Append({"12/10/2026 1:15:02 PM", "/data/dir", "", "", ""});
    ResultsView view;
    view.setModel(&model);
    for (int column = 0; column < ResultsModel::kColumnCount; ++column)
        view.horizontalHeader()->resizeSection(column, 70);
    view.resize(420, 160);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.selectRow(1);

    class StyleDelegate : public QStyledItemDelegate {
      public:
        StyleDelegate(Qt::TextElideMode elide, QObject* parent)
            : QStyledItemDelegate(parent), elide_(elide) {}

      protected:
        void initStyleOption(QStyleOptionViewItem* option,
                             const QModelIndex& index) const override {
            QStyledItemDelegate::initStyleOption(option, index);
            option->textElideMode = elide_;
        }

      private:
        Qt::TextElideMode elide_;
    };
    const auto picture = [&] {
        view.viewport()->repaint();
        return view.viewport()->grab().toImage();
    };
    const auto compare = [&](const char* when) {
        QAbstractItemDelegate* ours = view.itemDelegate();
        QAbstractItemDelegate* oursForPath = view.itemDelegateForColumn(1);
        const QImage cached = picture();
        StyleDelegate plain(Qt::ElideRight, nullptr), plainForPath(Qt::ElideMiddle, nullptr);
        view.setItemDelegate(&plain);
        view.setItemDelegateForColumn(1, &plainForPath);
        const QImage styled = picture();
        view.setItemDelegate(ours);
        view.setItemDelegateForColumn(1, oursForPath);
        QVERIFY2(cached == styled, when);
    };
    view.setItemDelegateForColumn(1, nullptr);
    // The path column cuts in the middle once the columns are fitted.
    view.FitColumns(ResultsColumnFits(RegionalSettings{}, "host\\user"));
    view.horizontalHeader()->resizeSection(1, 120);
    compare("first paint");
    compare("second paint, from what was kept");
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("edited")));
    compare("after an edit");
    view.horizontalHeader()->resizeSection(1, 200);
    compare("after the column grew");
}

}  // namespace tarnwell
#include "results_list_test.moc"
