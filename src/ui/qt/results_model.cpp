#include "ui/qt/results_model.h"

#include <utility>

namespace tarnwell {

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList ResultsModel::ColumnTitles() {
    return {QStringLiteral("Time Stamp"), QStringLiteral("File Name"), QStringLiteral("Action"),
            QStringLiteral("File Size"), QStringLiteral("Owner")};
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(count_);
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // A long path is shortened in the list; the tip shows it whole.
    if (role == Qt::ToolTipRole && index.column() == 1)
        return Slot(static_cast<std::size_t>(index.row()))[1];
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return Slot(static_cast<std::size_t>(index.row()))[static_cast<std::size_t>(index.column())];
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    Slot(static_cast<std::size_t>(index.row()))[0] = value.toString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return ColumnTitles().at(section);
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) result |= Qt::ItemIsEditable;
    return result;
}

int ResultsModel::Append(Row row) {
    if (count_ == slots_.size()) Grow();
    const int index = static_cast<int>(count_);
    beginInsertRows(QModelIndex(), index, index);
    Slot(count_) = std::move(row);
    ++count_;
    endInsertRows();
    emit RowAppended(index);
    return index;
}

int ResultsModel::AppendInPlaceOfFirst(Row& row) {
    if (count_ < 2) return -1;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& held : from) {
        if (held.row() == 0) return -1;
        to.append(index(held.row() - 1, held.column()));
    }
    Slot(0) = Row();  // the texts go now, not when the slot is reused
    // In a full ring the slot past the last row is the first row's own.
    Slot(count_) = std::move(row);
    head_ = (head_ + 1) & (slots_.size() - 1);
    changePersistentIndexList(from, to);
    emit dataChanged(index(0, 0), index(static_cast<int>(count_) - 1, kColumnCount - 1),
                     {Qt::DisplayRole, Qt::EditRole});
    emit RowAppended(static_cast<int>(count_) - 1);
    return static_cast<int>(count_) - 1;
}

void ResultsModel::RemoveFirst() {
    if (count_ == 0) return;
    beginRemoveRows(QModelIndex(), 0, 0);
    Slot(0) = Row();  // the texts go now, not when the slot is reused
    head_ = (head_ + 1) & (slots_.size() - 1);
    --count_;
    endRemoveRows();
}

void ResultsModel::Clear() {
    beginResetModel();
    std::vector<Row>().swap(slots_);
    head_ = 0;
    count_ = 0;
    endResetModel();
}

const ResultsModel::Row& ResultsModel::At(int row) const {
    return Slot(static_cast<std::size_t>(row));
}

void ResultsModel::Grow() {
    std::vector<Row> bigger(slots_.empty() ? 64 : slots_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = std::move(Slot(i));
    slots_.swap(bigger);
    head_ = 0;
}

}  // namespace tarnwell
