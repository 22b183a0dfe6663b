#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "core/export/SpreadsheetApplication.h"

struct lxw_workbook;
struct lxw_worksheet;

namespace quorvid {

// A workbook file of one sheet whose cells are all text. Rows are streamed to
// the file as they are filled, so a large grid does not sit in memory twice:
// cells must come row by row (any column order within a row), as the export
// fills them.
class XlsxWorkbook : public SpreadsheetWorkbook {
  public:
    // The library streams the rows through unnamed scratch files in
    // scratchFolder; empty: the temporary folder (it honours TMPDIR this way).
    explicit XlsxWorkbook(const QString& path, const QString& scratchFolder = {});
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    void SetCellText(int row, int column, const QString& text) override;
    // Fits every column to its longest line of text when the file is finished.
    void AutoFitColumns() override;
    // Writes the file and closes it, the event loop turning meanwhile; throws
    // StepFailure when it cannot be written.
    void Finish();

    const QString& path() const { return path_; }

  private:
    QString path_;
    QByteArray scratchFolder_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    std::vector<int> longestLines_;
    bool autoFit_ = false;
};

}  // namespace quorvid
