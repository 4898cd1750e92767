#pragma once
// The rows of a watch page's results list: a ring buffer of preformatted
// texts, so dropping the oldest row costs the same at 60,000 rows as at ten.
// Only the time stamp column can be edited, and only what is shown changes.
// User-interface thread only.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <vector>

namespace tarnwell {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kColumnCount = 5;
    using Row = std::array<QString, kColumnCount>;

    explicit ResultsModel(QObject* parent = nullptr);

    static QStringList ColumnTitles();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends at the end and returns the new row's index.
    int Append(Row row);
    // For a list at its maximum: appends and drops the first row in one step,
    // reported as a change of every row's texts instead of an insertion and a
    // removal, which a table view answers by renumbering all of its rows.
    // Indexes held on rows follow them up by one. Returns the new row's index,
    // or -1 with `row` left alone when the step would not look the same as
    // Append and then RemoveFirst: with fewer than two rows, or while anything
    // holds an index on the first row (a view's current index, selection,
    // editor or hovered cell), since a view answers that row's removal itself.
    int AppendInPlaceOfFirst(Row& row);
    void RemoveFirst();
    void Clear();
    const Row& At(int row) const;

  signals:
    // Every new row, whichever way it came in: a row taken in place of the
    // first one is no insertion, so rowsInserted alone would miss it.
    void RowAppended(int row);

  private:
    Row& Slot(std::size_t row) { return slots_[(head_ + row) & (slots_.size() - 1)]; }
    const Row& Slot(std::size_t row) const { return slots_[(head_ + row) & (slots_.size() - 1)]; }
    void Grow();

    std::vector<Row> slots_;  // size is 0 or a power of two
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace tarnwell
