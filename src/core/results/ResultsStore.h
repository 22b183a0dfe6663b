#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "core/results/ResultsTable.h"
#include "core/shell/controls/TableText.h"

namespace quorvid {

// Results rows without a window: the catalogue columns, the detail columns in
// the order they were met, and rows kept compact (one text per row with the
// ends of its cells), so that a hundred thousand rows fit in a few hundred MB.
// Only the last row can be written; it is packed when the next one is added.
// Every row reads as checked.
class ResultsStore : public ResultsTable, public TableText {
  public:
    ResultsStore();

    int AddRow(const QString& path) override;
    void SetCell(int row, int k, const QString& text) override;
    int FindColumnByHeader(const QString& text) const override;
    int AppendColumn(const QString& header) override;

    int ColumnCount() const override { return static_cast<int>(headers_.size()); }
    QString ColumnText(int position) const override;
    int ItemCount() const override { return static_cast<int>(packed_.size()) + (open_ ? 1 : 0); }
    QString ItemText(int index) const override;
    QString SubItem(int index, int k) const override;
    bool Checked(int index) const override;

    // Forgets every row; the columns stay. Row indexes start again from 1.
    void ClearRows();

  private:
    struct PackedRow {
        QString text;
        // ends[k]: where cell k ends in text; cells after the last one are empty.
        std::vector<quint32> ends;
    };

    void PackOpenRow();
    // Cell k (0 is the row text) of a row.
    QString Cell(int index, int k) const;

    std::vector<QString> headers_;
    QHash<QString, int> positionOfHeader_;
    std::vector<PackedRow> packed_;
    bool open_ = false;
    std::vector<QString> openCells_;
};

}  // namespace quorvid
