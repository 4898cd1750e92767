#include "ui/qt/results_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPalette>
#include <QStyle>
#include <algorithm>
#include <iterator>

#include "ui/qt/results_delegate.h"

namespace tarnwell {

namespace {

// The widths the list starts with before it has been fitted to its texts.
constexpr int kColumnWidths[] = {120, 300, 100, 100, 100};

}  // namespace

ResultsView::ResultsView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setSortingEnabled(false);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new ResultsDelegate(Qt::ElideRight, this));

    // Every row has the height of one line of text, so the view never has to
    // measure rows to place them.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsMovable(false);
    columns->setSectionsClickable(false);
    columns->setSortIndicatorShown(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setMinimumSectionSize(20);
    columns->setDefaultSectionSize(100);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    connect(columns, &QHeaderView::sectionResized, this, [this] {
        if (!adjusting_) userSized_ = true;
    });

    // A report view keeps showing its selection when another control has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
}

void ResultsView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    adjusting_ = true;
    for (int i = 0; i < static_cast<int>(std::size(kColumnWidths)); ++i)
        horizontalHeader()->resizeSection(i, kColumnWidths[i]);
    adjusting_ = false;
}

void ResultsView::FitColumns(const std::array<ColumnFit, 5>& fits) {
    QHeaderView* columns = horizontalHeader();
    // The delegate's text margin on either side, and a little air.
    const int padding =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) +
        fontMetrics().averageCharWidth();
    adjusting_ = true;
    for (int i = 0; i < static_cast<int>(fits.size()) && i < columns->count(); ++i) {
        int width = columns->sectionSizeHint(i);
        for (const std::string& text : fits[i].texts)
            width = std::max(
                width, fontMetrics().horizontalAdvance(QString::fromLocal8Bit(text)) + padding);
        if (fits[i].takesRest) {
            restColumn_ = i;
            // Room for a useful part of a path even in a narrow window.
            restMinimum_ = std::max(width, 30 * fontMetrics().averageCharWidth());
            width = restMinimum_;
            // A path cut at its end would lose the file's own name, the part
            // that says most; cut in the middle, the start of the folder and
            // the name both stay.
            setItemDelegateForColumn(i, new ResultsDelegate(Qt::ElideMiddle, this));
        }
        columns->resizeSection(i, width);
    }
    adjusting_ = false;
    userSized_ = false;
    FillRest();
}

void ResultsView::FillRest() {
    if (restColumn_ < 0 || userSized_) return;
    QHeaderView* columns = horizontalHeader();
    int others = 0;
    for (int i = 0; i < columns->count(); ++i)
        if (i != restColumn_) others += columns->sectionSize(i);
    const int rest = std::max(restMinimum_, viewport()->width() - others);
    adjusting_ = true;
    columns->resizeSection(restColumn_, rest);
    adjusting_ = false;
}

bool ResultsView::viewportEvent(QEvent* event) {
    // The viewport, not the view, is what the columns share: it also narrows
    // when the vertical scroll bar appears.
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize) FillRest();
    return handled;
}

void ResultsView::ShowRowWhole(int row) {
    if (model() == nullptr) return;
    // The view takes in new rows later, on its next turn of the event loop;
    // until then its scroll range ends one row short of the new one, and a
    // scroll asked for now would stop there.
    executeDelayedItemsLayout();
    scrollTo(model()->index(row, 0), QAbstractItemView::EnsureVisible);
}

bool ResultsView::HoldsFirstRows(int rows) const {
    if (state() == EditingState) return true;
    const QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr) return false;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && current.row() < rows) return true;
    for (const QItemSelectionRange& range : selection->selection())
        if (range.top() < rows) return true;
    return false;
}

void ResultsView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy || event == QKeySequence::Cut || event == QKeySequence::Paste) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ResultsView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && index.column() != 0)
        return QTableView::edit(index.siblingAtColumn(0), trigger, event);
    return QTableView::edit(index, trigger, event);
}

void ResultsView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QList<int>& roles) {
    // The base view would refill every editor in the range from the model and
    // throw away what the user has typed; the edited row's texts have only
    // moved, so the editor only needs to move with them.
    if (state() == EditingState && topLeft.row() != bottomRight.row()) {
        viewport()->update();
        updateEditorGeometries();
        return;
    }
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

}  // namespace tarnwell
