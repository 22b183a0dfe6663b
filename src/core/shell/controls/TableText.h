#pragma once

#include <QString>

namespace quorvid {

// The texts of a report-style table as the text exports read them: column
// headers, row texts and cells, counted from 1, and each row's check state.
// Out-of-range positions throw StepFailure.
class TableText {
  public:
    virtual ~TableText() = default;
    virtual int ColumnCount() const = 0;
    virtual QString ColumnText(int position) const = 0;
    virtual int ItemCount() const = 0;
    virtual QString ItemText(int index) const = 0;
    // The text under column k + 1; an unwritten cell reads as the empty text.
    virtual QString SubItem(int index, int k) const = 0;
    virtual bool Checked(int index) const = 0;
};

}  // namespace quorvid
