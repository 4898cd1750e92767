#include "ui/results_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <iterator>

namespace tarnwell {

namespace {
constexpr int kColumnWidths[] = {120, 300, 100, 100, 100};
}

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
    for (int i = 0; i < static_cast<int>(std::size(kColumnWidths)); ++i)
        horizontalHeader()->resizeSection(i, kColumnWidths[i]);
}

void ResultsView::ShowRowWhole(int row) {
    if (model() == nullptr) return;
    // The view takes in new rows later, on its next turn of the event loop;
    // until then its scroll range ends one row short of the new one, and a
    // scroll asked for now would stop there.
    executeDelayedItemsLayout();
    scrollTo(model()->index(row, 0), QAbstractItemView::EnsureVisible);
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
