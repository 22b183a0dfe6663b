#include "core/results/ResultsStore.h"

#include "core/extraction/FieldCatalogue.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

[[noreturn]] void IndexOutOfBounds() {
    throw StepFailure(QStringLiteral("Index out of bounds"));
}

}  // namespace

ResultsStore::ResultsStore() {
    for (const CatalogueField& field : FieldCatalogue()) {
        AppendColumn(QString::fromLatin1(field.header));
    }
}

int ResultsStore::AddRow(const QString& path) {
    PackOpenRow();
    open_ = true;
    openCells_.assign(1, path);
    return ItemCount();
}

void ResultsStore::SetCell(int row, int k, const QString& text) {
    if (!open_ || row != ItemCount()) {
        throw StepFailure(QStringLiteral("Only the last row can be written"));
    }
    if (k < 1 || k >= ColumnCount()) {
        IndexOutOfBounds();
    }
    const auto cell = static_cast<size_t>(k);
    if (openCells_.size() <= cell) {
        openCells_.resize(cell + 1);
    }
    openCells_[cell] = text;
}

int ResultsStore::FindColumnByHeader(const QString& text) const {
    return positionOfHeader_.value(text, -1);
}

int ResultsStore::AppendColumn(const QString& header) {
    headers_.push_back(header);
    const int position = ColumnCount();
    // The first column of a header is the one a search finds.
    if (!positionOfHeader_.contains(header)) {
        positionOfHeader_.insert(header, position);
    }
    return position;
}

QString ResultsStore::ColumnText(int position) const {
    if (position < 1 || position > ColumnCount()) {
        IndexOutOfBounds();
    }
    return headers_[static_cast<size_t>(position - 1)];
}

QString ResultsStore::ItemText(int index) const {
    return Cell(index, 0);
}

QString ResultsStore::SubItem(int index, int k) const {
    if (k < 1 || k >= ColumnCount()) {
        IndexOutOfBounds();
    }
    return Cell(index, k);
}

bool ResultsStore::Checked(int index) const {
    if (index < 1 || index > ItemCount()) {
        IndexOutOfBounds();
    }
    return true;
}

void ResultsStore::ClearRows() {
    packed_.clear();
    open_ = false;
    openCells_.clear();
}

void ResultsStore::PackOpenRow() {
    if (!open_) {
        return;
    }
    while (openCells_.size() > 1 && openCells_.back().isEmpty()) {
        openCells_.pop_back();
    }
    PackedRow row;
    qsizetype length = 0;
    for (const QString& cell : openCells_) {
        length += cell.size();
    }
    row.text.reserve(length);
    row.ends.reserve(openCells_.size());
    for (const QString& cell : openCells_) {
        row.text.append(cell);
        row.ends.push_back(static_cast<quint32>(row.text.size()));
    }
    packed_.push_back(std::move(row));
    open_ = false;
    openCells_.clear();
}

QString ResultsStore::Cell(int index, int k) const {
    if (index < 1 || index > ItemCount()) {
        IndexOutOfBounds();
    }
    const auto cell = static_cast<size_t>(k);
    if (open_ && index == ItemCount()) {
        return cell < openCells_.size() ? openCells_[cell] : QString();
    }
    const PackedRow& row = packed_[static_cast<size_t>(index - 1)];
    if (cell >= row.ends.size()) {
        return {};
    }
    const quint32 begin = cell == 0 ? 0 : row.ends[cell - 1];
    return row.text.mid(begin, row.ends[cell] - begin);
}

}  // namespace quorvid
