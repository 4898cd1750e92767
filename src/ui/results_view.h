#pragma once
// The report view of a watch page's results: five fixed columns, one selected
// row that stays highlighted without the focus, rows in the order they came,
// the time stamp editable in place, and no clipboard keys.
// User-interface thread only.

#include <QTableView>

namespace tarnwell {

class ResultsView : public QTableView {
    Q_OBJECT

  public:
    explicit ResultsView(QWidget* parent = nullptr);

    // Sets the column widths of the report view.
    void setModel(QAbstractItemModel* model) override;

    // Scrolls so that `row` is entirely visible, also a row appended a moment
    // ago that the view has not laid out yet.
    void ShowRowWhole(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Whichever cell the user started from, the row's caption is what gets edited.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // A full list that takes a new row in place of its first one changes the
    // texts of every row while an open editor moves up with its own row.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
};

}  // namespace tarnwell
