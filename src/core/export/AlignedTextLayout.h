#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

class EventPump;
class TableText;

// The layout the text file and the clipboard share: each cell is padded with
// spaces to its column's widest text and followed by a TAB. Texts go out as they
// stand, but for a TAB, CR or LF, each written as one blank so that a row stays
// one line. Lines are returned without their line end, which the caller adds.
//
// Reads of the grid throw StepFailure when the grid has changed underneath (the
// yields let "Clear List" run in the middle).
class AlignedTextLayout {
  public:
    enum class Headers { Count, Ignore };
    // Called when the rows of a column vanish during the width pass; the pass
    // then goes on with the next column. Rethrow to abandon the whole pass.
    using ColumnFailureHandler = std::function<void(const StepFailure&)>;

    AlignedTextLayout(const TableText& grid, EventPump& events);

    // The text of column k (1-based) of a row: the row text for column 1.
    static QString CellText(const TableText& grid, int row, int column);
    // Appends text with its TABs and line breaks as blanks, the spaces that pad it
    // to width (none when it is longer) and a TAB.
    static void AppendCell(QString& line, const QString& text, int width);

    // Widths over every row whatever its check state, yielding once per cell.
    // A column whose rows vanish keeps the width measured up to then.
    void MeasureWidths(Headers headers, const ColumnFailureHandler& onColumnFailure);
    // Widths measured one row at a time, for rows let go once measured: the
    // headers of the columns added since the last call count first, then the
    // cells of the row.
    void WidenToHeaders();
    void WidenToRow(int row);
    const std::vector<int>& widths() const { return widths_; }
    // The sum of the widths plus one TAB per column: a line's length when no
    // text outgrew its width since the measuring.
    qsizetype LineLength() const;

    QString HeaderLine() const;
    // Appends the cells of a checked row to text and returns true; returns false
    // for a row whose check state is clear. Yields once per cell.
    bool AppendRow(QString& text, int row) const;

  private:
    int WidthOf(int column) const;

    const TableText& grid_;
    EventPump& events_;
    std::vector<int> widths_;
};

}  // namespace quorvid
