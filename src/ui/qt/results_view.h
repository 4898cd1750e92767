#pragma once
// The report view of a watch page's results: five columns sized to their
// texts and resizable by the user, one selected row that stays highlighted
// without the focus, rows in the order they came, the time stamp editable in
// place, and no clipboard keys. User-interface thread only.

#include <QTableView>
#include <array>

#include "ui/results_columns.h"

namespace tarnwell {

class ResultsView : public QTableView {
    Q_OBJECT

  public:
    explicit ResultsView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Makes every column wide enough for its texts and title in the view's
    // font; the column that takes the rest fills the width left over, until
    // the user sizes a column by hand.
    void FitColumns(const std::array<ColumnFit, 5>& fits);

    // Scrolls so that `row` is entirely visible, also a row appended a moment
    // ago that the view has not laid out yet.
    void ShowRowWhole(int row);

    // Whether the view would answer the removal of its first `rows` rows
    // itself: its current row, a selected row or an open editor is among them.
    bool HoldsFirstRows(int rows) const;

  protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Whichever cell the user started from, the row's caption is what gets edited.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // A full list that takes a new row in place of its first one changes the
    // texts of every row while an open editor moves up with its own row.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

  private:
    void FillRest();

    int restColumn_ = -1;
    int restMinimum_ = 0;
    bool adjusting_ = false;  // the widths are being set by the view itself
    bool userSized_ = false;  // the user has sized a column by hand
};

}  // namespace tarnwell
