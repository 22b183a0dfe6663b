#pragma once

#include <QString>

#include "core/results/ResultsTable.h"

namespace quorvid {

class ListViewModel;

// The operations of the extraction run and the exports on the results grid.
class ResultsGrid : public ResultsTable {
  public:
    explicit ResultsGrid(ListViewModel& model) : model_(model) {}

    // Appends the 53 catalogue columns and sets the first three widths.
    void CreateResultColumns();
    void ClearRows();
    // Appends a row with the path as its text; returns its index.
    int AddRow(const QString& path) override;
    // Writes sub-item k (1 to column count - 1) of a row.
    void SetCell(int row, int k, const QString& text) override;
    // The 1-based position of the first column whose header equals text exactly,
    // or -1 when none does.
    int FindColumnByHeader(const QString& text) const override;
    // Appends a column with no width; returns its position.
    int AppendColumn(const QString& header) override;
    int ColumnCount() const override;

    ListViewModel& model() { return model_; }

  private:
    ListViewModel& model_;
};

}  // namespace quorvid
