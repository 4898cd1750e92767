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

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Whichever cell the user started from, the row's caption is what gets edited.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
};

}  // namespace tarnwell
