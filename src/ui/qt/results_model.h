#pragma once
// The rows of a watch page's results list: a ring buffer of preformatted
// texts, so dropping the oldest row costs the same at 60,000 rows as at ten.
// Rows keep the system text they were made from and are turned into the
// view's text only when a view asks for a cell, which it does for the rows on
// screen alone. Only the time stamp column can be edited, and only what is
// shown changes.
//
// Changes made between BeginBatch and EndBatch reach the views as one step at
// EndBatch: one insertion for all new rows, however many came and went in
// between. The page's own view of the rows (Count, At) follows every change
// at once; the views' (rowCount, data) follows at EndBatch.
// User-interface thread only.

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/page_surface.h"
#include "ui/watch_page.h"

namespace tarnwell {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kColumnCount = static_cast<int>(kResultColumns.size());
    using Row = ResultRow;

    explicit ResultsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends at the end and returns the new row's index among Count rows.
    int Append(Row row);
    // Drops the first of the Count rows; nothing when there is none.
    void RemoveFirst();
    void Clear();
    // The rows as the page counts them, including what the views have not
    // been told of yet.
    int Count() const { return static_cast<int>(stored_ - removed_); }
    const Row& At(int row) const;
    // A cell as the views show it.
    static QString Text(const std::string& systemText);
    // A name for a row that stays with it while rows before it go.
    std::uint64_t Serial(int row) const { return removedTotal_ + static_cast<std::uint64_t>(row); }

    // Batches nest; the outermost EndBatch tells the views. `showRow` (a
    // Serial) is the row the page has asked to have scrolled to last: it is
    // named through RowToShow at the point of the change where the steps one
    // by one would have scrolled to it, after the new rows came and before
    // the first rows went, since a view answers a removal of its current row
    // by scrolling to the next one.
    void BeginBatch();
    void EndBatch(std::optional<std::uint64_t> showRow = std::nullopt);

    // Tells whether a view answers the removal of the first `rows` rows
    // itself (it moves its current row on, drops a selection with a signal,
    // closes an editor): those removals are made one by one, as the steps
    // made them. Without it, any index held on such a row counts.
    void SetFirstRowsHeld(std::function<bool(int rows)> held) { firstRowsHeld_ = std::move(held); }

  signals:
    // Every new row, at once, with its index among Count rows: a row that
    // comes and goes within one batch never reaches a view, so rowsInserted
    // would miss it.
    void RowAppended(int row);
    // A row the views should scroll to now, by its index among rowCount rows.
    void RowToShow(int row);

  private:
    Row& Slot(std::size_t row) { return slots_[(head_ + row) & (slots_.size() - 1)]; }
    const Row& Slot(std::size_t row) const { return slots_[(head_ + row) & (slots_.size() - 1)]; }
    void Grow();
    void Publish();
    bool PublishInPlace(std::size_t shown, std::size_t final, std::size_t gone);
    void PublishWithRemovals(std::size_t shown, std::size_t gone);
    void InsertStoredRows();
    void ShowWantedRow();
    // Frees the first `rows` stored rows.
    void Drop(std::size_t rows);

    // Stored rows start at head_. The views know the first published_ of
    // them; the page has let go of the first removed_; both agree with
    // stored_ outside a batch.
    std::vector<Row> slots_;  // size is 0 or a power of two
    std::size_t head_ = 0;
    std::size_t stored_ = 0;
    std::size_t published_ = 0;
    std::size_t removed_ = 0;
    std::uint64_t removedTotal_ = 0;  // rows the page has let go of since the start
    int batchDepth_ = 0;
    std::optional<std::uint64_t> showRow_;
    std::function<bool(int rows)> firstRowsHeld_;
};

}  // namespace tarnwell
