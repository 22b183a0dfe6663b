#include "core/shell/controls/ListViewModel.h"

#include <algorithm>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

[[noreturn]] void IndexOutOfBounds() {
    throw StepFailure(QStringLiteral("Index out of bounds"));
}

}  // namespace

ListViewModel::ListViewModel(bool checkBoxes, QObject* parent)
    : QAbstractTableModel(parent), checkBoxes_(checkBoxes) {
    appendPace_.setSingleShot(true);
    appendPace_.setInterval(kAppendPaceMs);
    connect(&appendPace_, &QTimer::timeout, this, &ListViewModel::ShowAppendedRows);
}

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
    if (!firstPositionOfHeader_.contains(text)) {
        firstPositionOfHeader_.insert(text, position);
    }
    endInsertColumns();
}

void ListViewModel::RemoveColumns(int first, int last) {
    CheckColumn(first);
    CheckColumn(last);
    if (first > last) {
        IndexOutOfBounds();
    }
    beginRemoveColumns({}, first - 1, last - 1);
    const bool trailing = last == ColumnCount();
    if (trailing) {
        // No column after them moves; only headers first seen among them go.
        for (int position = first; position <= last; ++position) {
            const QString& text = columns_[position - 1].text;
            if (FindColumn(text) >= first) {
                firstPositionOfHeader_.remove(text);
            }
        }
    }
    columns_.erase(columns_.begin() + (first - 1), columns_.begin() + last);
    const auto from = static_cast<size_t>(first - 1);
    const auto to = static_cast<size_t>(last);
    for (Row& row : rows_) {
        if (row.cells.size() > from) {
            row.cells.erase(
                row.cells.begin() + static_cast<std::ptrdiff_t>(from),
                row.cells.begin() + static_cast<std::ptrdiff_t>(std::min(to, row.cells.size())));
        }
    }
    if (!trailing) {
        IndexHeaders();
    }
    endRemoveColumns();
}

void ListViewModel::IndexHeaders() {
    firstPositionOfHeader_.clear();
    for (int position = ColumnCount(); position >= 1; --position) {
        firstPositionOfHeader_.insert(columns_[position - 1].text, position);
    }
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
    Row row;
    row.cells.push_back(texts_.Intern(text));
    rows_.push_back(std::move(row));
    if (!appendsPaced_) {
        ShowAppendedRows();
    } else if (!appendPace_.isActive()) {
        appendPace_.start();
    }
    return ItemCount();
}

void ListViewModel::SetAppendsPaced(bool paced) {
    appendsPaced_ = paced;
    if (!paced) {
        appendPace_.stop();
        ShowAppendedRows();
    }
}

void ListViewModel::ShowAppendedRows() {
    if (shownRows_ < ItemCount()) {
        beginInsertRows({}, shownRows_, ItemCount() - 1);
        shownRows_ = ItemCount();
        endInsertRows();
    }
}

void ListViewModel::RemoveItem(int index) {
    CheckItem(index);
    const int stillSelected = selected_ == index ? 0 : selected_ - (selected_ > index ? 1 : 0);
    if (Shown(index)) {
        beginRemoveRows({}, index - 1, index - 1);
        rows_.erase(rows_.begin() + (index - 1));
        --shownRows_;
        endRemoveRows();
    } else {
        rows_.erase(rows_.begin() + (index - 1));
    }
    // Texts are kept until no row can use them any more.
    if (rows_.empty()) {
        texts_.Clear();
    }
    // A view moves its current row on removal; the removed row's selection must
    // not pass to a neighbour, which a second removal would then take away.
    selected_ = stillSelected;
    emit selectedIndexChanged(selected_);
}

void ListViewModel::ClearItems() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    texts_.Clear();
    shownRows_ = 0;
    appendPace_.stop();
    endResetModel();
    selected_ = 0;
    emit selectedIndexChanged(selected_);
}

QString ListViewModel::ItemText(int index) const {
    CheckItem(index);
    return texts_.Text(rows_[index - 1].cells[0]);
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
    return texts_.Text(cell < row.cells.size() ? row.cells[cell] : 0);
}

void ListViewModel::SetCell(int index, int k, const QString& text) {
    CheckItem(index);
    auto& cells = rows_[index - 1].cells;
    const auto cell = static_cast<size_t>(k);
    if (cells.size() <= cell) {
        cells.resize(cell + 1);
    }
    cells[cell] = texts_.Intern(text);
    if (Shown(index)) {
        const QModelIndex changed = createIndex(index - 1, k);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

bool ListViewModel::Checked(int index) const {
    CheckItem(index);
    return rows_[index - 1].checked;
}

void ListViewModel::SetChecked(int index, bool checked) {
    CheckItem(index);
    rows_[index - 1].checked = checked;
    if (Shown(index)) {
        const QModelIndex changed = createIndex(index - 1, 0);
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
    }
}

void ListViewModel::SetSelected(int index) {
    if (index != 0) {
        CheckItem(index);
        // The views select the row too, so they must know it.
        if (!Shown(index)) {
            ShowAppendedRows();
        }
    }
    if (selected_ != index) {
        selected_ = index;
        emit selectedIndexChanged(selected_);
    }
}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows_) {
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
