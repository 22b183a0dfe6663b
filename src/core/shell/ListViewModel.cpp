#include "core/shell/ListViewModel.h"

#include "core/shell/StepFailure.h"

namespace quorvid {

namespace {

const QString kEmpty;

[[noreturn]] void IndexOutOfBounds() {
    throw StepFailure(QStringLiteral("Index out of bounds"));
}

}  // namespace

ListViewModel::ListViewModel(bool checkBoxes, QObject* parent)
    : QAbstractTableModel(parent), checkBoxes_(checkBoxes) {}

void ListViewModel::CheckColumn(int position) const {
    if (position < 1 || position > ColumnCount()) {
        IndexOutOfBounds();
    }
}

void ListViewModel::CheckItem(int index) const {
    if (index < 1 || index > ItemCount()) {
        IndexOutOfBounds();
    }
}

void ListViewModel::AddColumn(const QString& text) {
    const int position = ColumnCount() + 1;
    beginInsertColumns({}, position - 1, position - 1);
    columns_.push_back({text, kDefaultColumnWidth});
    endInsertColumns();
}

void ListViewModel::RemoveColumn(int position) {
    CheckColumn(position);
    beginRemoveColumns({}, position - 1, position - 1);
    columns_.erase(columns_.begin() + (position - 1));
    const auto cell = static_cast<size_t>(position - 1);
    for (Row& row : rows_) {
        if (row.cells.size() > cell) {
            row.cells.erase(row.cells.begin() + static_cast<std::ptrdiff_t>(cell));
        }
    }
    endRemoveColumns();
}

QString ListViewModel::ColumnText(int position) const {
    CheckColumn(position);
    return columns_[position - 1].text;
}

int ListViewModel::ColumnWidth(int position) const {
    CheckColumn(position);
    return columns_[position - 1].width;
}

void ListViewModel::SetColumnWidth(int position, int twips) {
    CheckColumn(position);
    if (columns_[position - 1].width != twips) {
        columns_[position - 1].width = twips;
        emit columnWidthChanged(position, twips);
    }
}

int ListViewModel::AddItem(const QString& text) {
    const int index = ItemCount() + 1;
    beginInsertRows({}, index - 1, index - 1);
    Row row;
    row.cells.push_back(text);
    rows_.push_back(std::move(row));
    endInsertRows();
    return index;
}

void ListViewModel::RemoveItem(int index) {
    CheckItem(index);
    const int stillSelected = selected_ == index ? 0 : selected_ - (selected_ > index ? 1 : 0);
    beginRemoveRows({}, index - 1, index - 1);
    rows_.erase(rows_.begin() + (index - 1));
    endRemoveRows();
    // A view moves its current row on removal; the removed row's selection must
    // not pass to a neighbour, which a second removal would then take away.
    selected_ = stillSelected;
    emit selectedIndexChanged(selected_);
}

void ListViewModel::ClearItems() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
    selected_ = 0;
    emit selectedIndexChanged(selected_);
}

QString ListViewModel::ItemText(int index) const {
    CheckItem(index);
    return rows_[index - 1].cells[0];
}

void ListViewModel::SetItemText(int index, const QString& text) {
    SetCell(index, 0, text);
}

QString ListViewModel::SubItem(int index, int k) const {
    CheckItem(index);
    if (k < 1 || k >= ColumnCount()) {
        throw StepFailure(QStringLiteral("Invalid property value"));
    }
    return Cell(rows_[index - 1], k);
}

void ListViewModel::SetSubItem(int index, int k, const QString& text) {
    CheckItem(index);
    if (k < 1 || k >= ColumnCount()) {
        throw StepFailure(QStringLiteral("Invalid property value"));
    }
    SetCell(index, k, text);
}

const QString& ListViewModel::Cell(const Row& row, int k) const {
    const auto cell = static_cast<size_t>(k);
    return cell < row.cells.size() ? row.cells[cell] : kEmpty;
}

void ListViewModel::SetCell(int index, int k, const QString& text) {
    CheckItem(index);
    auto& cells = rows_[index - 1].cells;
    const auto cell = static_cast<size_t>(k);
    if (cells.size() <= cell) {
        cells.resize(cell + 1);
    }
    cells[cell] = text;
    const QModelIndex changed = createIndex(index - 1, k);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

bool ListViewModel::Checked(int index) const {
    CheckItem(index);
    return rows_[index - 1].checked;
}

void ListViewModel::SetChecked(int index, bool checked) {
    CheckItem(index);
    rows_[index - 1].checked = checked;
    const QModelIndex changed = createIndex(index - 1, 0);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void ListViewModel::SetSelected(int index) {
    if (index != 0) {
        CheckItem(index);
    }
    if (selected_ != index) {
        selected_ = index;
        emit selectedIndexChanged(selected_);
    }
}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ItemCount();
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ItemCount()) {
        return {};
    }
    const Row& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return Cell(row, index.column());
    }
    if (role == Qt::CheckStateRole && checkBoxes_ && index.column() == 0) {
        return row.checked ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkBoxes_ || !index.isValid() || index.column() != 0) {
        return false;
    }
    SetChecked(index.row() + 1, value.toInt() == Qt::Checked);
    return true;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount()) {
        return columns_[static_cast<size_t>(section)].text;
    }
    return {};
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (checkBoxes_ && index.column() == 0) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

}  // namespace quorvid
