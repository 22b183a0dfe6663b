#include "core/export/AlignedTextLayout.h"

#include <algorithm>
#include <numeric>

#include "core/shell/controls/TableText.h"
#include "core/shell/platform/EventPump.h"

namespace quorvid {

AlignedTextLayout::AlignedTextLayout(const TableText& grid, EventPump& events)
    : grid_(grid), events_(events) {}

QString AlignedTextLayout::CellText(const TableText& grid, int row, int column) {
    return column == 1 ? grid.ItemText(row) : grid.SubItem(row, column - 1);
}

void AlignedTextLayout::AppendCell(QString& line, const QString& text, int width) {
    const qsizetype start = line.size();
    line.append(text);
    // A TAB or line break inside a cell would split the row or shift its
    // columns; one blank each keeps the text's length, so the widths still hold.
    for (auto character = line.begin() + start; character != line.end(); ++character) {
        if (*character == u'\t' || *character == u'\r' || *character == u'\n') {
            *character = u' ';
        }
    }
    if (width > text.size()) {
        line.resize(line.size() + (width - text.size()), u' ');
    }
    line.append(u'\t');
}

void AlignedTextLayout::MeasureWidths(Headers headers,
                                      const ColumnFailureHandler& onColumnFailure) {
    widths_.clear();
    const int columns = grid_.ColumnCount();
    widths_.reserve(static_cast<size_t>(columns));
    for (int column = 1; column <= columns; ++column) {
        int width = 0;
        try {
            if (headers == Headers::Count) {
                width = static_cast<int>(grid_.ColumnText(column).size());
            }
            const int rows = grid_.ItemCount();
            for (int row = 1; row <= rows; ++row) {
                events_.DoEvents();
                width = std::max(width, static_cast<int>(CellText(grid_, row, column).size()));
            }
        } catch (const StepFailure& failure) {
            onColumnFailure(failure);
        }
        widths_.push_back(width);
    }
}

void AlignedTextLayout::WidenToHeaders() {
    const int columns = grid_.ColumnCount();
    for (int column = static_cast<int>(widths_.size()) + 1; column <= columns; ++column) {
        widths_.push_back(static_cast<int>(grid_.ColumnText(column).size()));
    }
}

void AlignedTextLayout::WidenToRow(int row) {
    WidenToHeaders();
    const int columns = static_cast<int>(widths_.size());
    for (int column = 1; column <= columns; ++column) {
        int& width = widths_[static_cast<size_t>(column - 1)];
        width = std::max(width, static_cast<int>(CellText(grid_, row, column).size()));
    }
}

qsizetype AlignedTextLayout::LineLength() const {
    return std::accumulate(widths_.begin(), widths_.end(), qsizetype{0}) +
           static_cast<qsizetype>(widths_.size());
}

int AlignedTextLayout::WidthOf(int column) const {
    // Columns added after the measuring have no width: their texts get no spaces.
    const auto index = static_cast<size_t>(column - 1);
    return index < widths_.size() ? widths_[index] : 0;
}

QString AlignedTextLayout::HeaderLine() const {
    QString line;
    line.reserve(LineLength());
    const int columns = static_cast<int>(widths_.size());
    for (int column = 1; column <= columns; ++column) {
        events_.DoEvents();
        AppendCell(line, grid_.ColumnText(column), WidthOf(column));
    }
    return line;
}

bool AlignedTextLayout::AppendRow(QString& text, int row) const {
    if (!grid_.Checked(row)) {
        return false;
    }
    const int columns = static_cast<int>(widths_.size());
    for (int column = 1; column <= columns; ++column) {
        events_.DoEvents();
        AppendCell(text, CellText(grid_, row, column), WidthOf(column));
    }
    return true;
}

}  // namespace quorvid
