#pragma once

#include <QString>

namespace quorvid {

// What writing a file's results row needs of the table that receives it: the
// window's results grid, or the companion program's row store. Positions count
// from 1.
class ResultsTable {
  public:
    virtual ~ResultsTable() = default;
    // Appends a row with the path as its text; returns its index.
    virtual int AddRow(const QString& path) = 0;
    // Writes sub-item k (1 to column count - 1) of a row.
    virtual void SetCell(int row, int k, const QString& text) = 0;
    // The position of the first column whose header equals text exactly, or -1.
    virtual int FindColumnByHeader(const QString& text) const = 0;
    // Appends a column; returns its position.
    virtual int AppendColumn(const QString& header) = 0;
    virtual int ColumnCount() const = 0;
};

}  // namespace quorvid
