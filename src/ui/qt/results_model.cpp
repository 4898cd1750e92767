#include "ui/qt/results_model.h"

#include <algorithm>
#include <utility>

namespace tarnwell {

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

QString ResultsModel::Text(const std::string& systemText) {
    return QString::fromLocal8Bit(systemText);
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(published_);
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // Rows that are on their way out while the views are told of it have
    // nothing left to show.
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= stored_) return {};
    // A long path is shortened in the list; the tip shows it whole.
    if (role == Qt::ToolTipRole && index.column() == 1) return Text(Slot(row)[1]);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return Text(Slot(row)[static_cast<std::size_t>(index.column())]);
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        static_cast<std::size_t>(index.row()) >= stored_)
        return false;
    Slot(static_cast<std::size_t>(index.row()))[0] = value.toString().toLocal8Bit().toStdString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kResultColumns[static_cast<std::size_t>(section)].title);
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) result |= Qt::ItemIsEditable;
    return result;
}

int ResultsModel::Append(Row row) {
    if (stored_ == slots_.size()) Grow();
    Slot(stored_) = std::move(row);
    ++stored_;
    const int index = Count() - 1;
    emit RowAppended(index);
    if (batchDepth_ == 0) Publish();
    return index;
}

void ResultsModel::RemoveFirst() {
    if (Count() == 0) return;
    ++removed_;
    ++removedTotal_;
    if (batchDepth_ == 0) Publish();
}

void ResultsModel::Clear() {
    removedTotal_ += static_cast<std::uint64_t>(Count());
    beginResetModel();
    std::vector<Row>().swap(slots_);
    head_ = 0;
    stored_ = 0;
    published_ = 0;
    removed_ = 0;
    endResetModel();
}

const ResultsModel::Row& ResultsModel::At(int row) const {
    return Slot(removed_ + static_cast<std::size_t>(row));
}

void ResultsModel::BeginBatch() {
    ++batchDepth_;
}

void ResultsModel::EndBatch(std::optional<std::uint64_t> showRow) {
    if (batchDepth_ == 0) return;
    if (showRow) showRow_ = showRow;
    if (--batchDepth_ == 0) {
        Publish();
        ShowWantedRow();
    }
}

void ResultsModel::ShowWantedRow() {
    if (!showRow_) return;
    const std::uint64_t serial = *showRow_;
    showRow_.reset();
    // A row that has gone again needs no scroll; one that stays is stored
    // behind the rows still to be removed.
    if (serial < removedTotal_ || serial - removedTotal_ >= static_cast<std::uint64_t>(Count()))
        return;
    const std::size_t row = removed_ + static_cast<std::size_t>(serial - removedTotal_);
    if (row < published_) emit RowToShow(static_cast<int>(row));
}

void ResultsModel::Publish() {
    const std::size_t shown = published_;
    const std::size_t final = stored_ - removed_;
    const std::size_t gone = std::min(removed_, shown);
    if (gone == 0) {
        // Nothing the views knew has gone; what is left to remove came and
        // went within the batch.
        Drop(removed_);
        removed_ = 0;
        InsertStoredRows();
        return;
    }
    if (PublishInPlace(shown, final, gone)) return;
    PublishWithRemovals(shown, gone);
}

// A table view answers the removal of first rows by renumbering all of its
// rows; when nothing holds an index on a row that goes, the same picture
// comes from the rows' texts moving up in place, with indexes held on rows
// following them. A view answers a held first row's removal itself (it moves
// the current row on, drops the selection with a signal), and an editor in a
// one-row change would be refilled: those take the real removal.
bool ResultsModel::PublishInPlace(std::size_t shown, std::size_t final, std::size_t gone) {
    if (std::min(shown, final) < 2) return false;
    if (firstRowsHeld_ && firstRowsHeld_(static_cast<int>(gone))) return false;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& held : from) {
        if (static_cast<std::size_t>(held.row()) >= gone) {
            to.append(index(held.row() - static_cast<int>(gone), held.column()));
        } else if (firstRowsHeld_) {
            // Such as the row under the mouse: it goes, as with a removal.
            to.append(QModelIndex());
        } else {
            return false;
        }
    }
    Drop(removed_);
    removed_ = 0;
    changePersistentIndexList(from, to);
    if (final < shown) {
        beginRemoveRows(QModelIndex(), static_cast<int>(final), static_cast<int>(shown) - 1);
        published_ = final;
        endRemoveRows();
    } else if (final > shown) {
        beginInsertRows(QModelIndex(), static_cast<int>(shown), static_cast<int>(final) - 1);
        published_ = final;
        endInsertRows();
    }
    emit dataChanged(index(0, 0),
                     index(static_cast<int>(std::min(shown, final)) - 1, kColumnCount - 1),
                     {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void ResultsModel::PublishWithRemovals(std::size_t shown, std::size_t gone) {
    // The new rows come in first: a view whose current row goes moves it on
    // to the row after the ones removed, as it would have moved it step by
    // step, and that row must be there also when every row the view knew
    // goes. Rows that came and went within the batch make way for the ones
    // that stay.
    if (removed_ > gone) {
        const std::size_t staying = stored_ - removed_;
        for (std::size_t i = 0; i < staying; ++i) Slot(shown + i) = std::move(Slot(removed_ + i));
        for (std::size_t i = shown + staying; i < stored_; ++i) Slot(i) = Row();
        stored_ = shown + staying;
        removed_ = gone;
    }
    InsertStoredRows();
    ShowWantedRow();
    // One by one, as the steps went: each time the view's current row goes,
    // the view moves it on and scrolls to it, and where it ends up depends on
    // that order.
    for (std::size_t i = 0; i < gone; ++i) {
        beginRemoveRows(QModelIndex(), 0, 0);
        Drop(1);
        --removed_;
        --published_;
        endRemoveRows();
    }
}

void ResultsModel::InsertStoredRows() {
    if (stored_ <= published_) return;
    beginInsertRows(QModelIndex(), static_cast<int>(published_), static_cast<int>(stored_) - 1);
    published_ = stored_;
    endInsertRows();
}

void ResultsModel::Drop(std::size_t rows) {
    if (rows == 0) return;
    // The texts go now, not when the slot is reused.
    for (std::size_t i = 0; i < rows; ++i) Slot(i) = Row();
    head_ = (head_ + rows) & (slots_.size() - 1);
    stored_ -= rows;
}

void ResultsModel::Grow() {
    std::vector<Row> bigger(slots_.empty() ? 64 : slots_.size() * 2);
    for (std::size_t i = 0; i < stored_; ++i) bigger[i] = std::move(Slot(i));
    slots_.swap(bigger);
    head_ = 0;
}

}  // namespace tarnwell
