#pragma once

#include <QString>
#include <memory>

namespace quorvid {

// A new workbook of the spreadsheet application, filled cell by cell.
class SpreadsheetWorkbook {
  public:
    virtual ~SpreadsheetWorkbook() = default;
    // Rows and columns count from 1; the value is handed over as text.
    virtual void SetCellText(int row, int column, const QString& text) = 0;
    virtual void AutoFitColumns() = 0;
};

class SpreadsheetApplication {
  public:
    virtual ~SpreadsheetApplication() = default;
    virtual SpreadsheetWorkbook& AddWorkbook() = 0;
    // Shows the workbook to the user, who saves it from there.
    virtual void SetVisible(bool visible) = 0;
};

class SpreadsheetProvider {
  public:
    virtual ~SpreadsheetProvider() = default;
    // Throws StepFailure when no spreadsheet application is installed.
    virtual std::unique_ptr<SpreadsheetApplication> CreateApplication() = 0;
};

}  // namespace quorvid
