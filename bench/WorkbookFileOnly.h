#pragma once

// The spreadsheet application of the benchmarks that export a large grid.

#include <QString>
#include <memory>
#include <utility>

#include "core/export/SpreadsheetApplication.h"
#include "core/export/XlsxWorkbook.h"

namespace bench {

// The workbook file is written in full; only starting the spreadsheet
// application is left out, as it would put 100,000 rows on screen.
class WorkbookFileOnly : public quorvid::SpreadsheetProvider {
  public:
    explicit WorkbookFileOnly(QString path) : path_(std::move(path)) {}
    std::unique_ptr<quorvid::SpreadsheetApplication> CreateApplication() override {
        return std::make_unique<Application>(path_);
    }

  private:
    struct Application : quorvid::SpreadsheetApplication {
        explicit Application(const QString& path) : path(path) {}
        quorvid::SpreadsheetWorkbook& AddWorkbook() override {
            workbook = std::make_unique<quorvid::XlsxWorkbook>(path);
            return *workbook;
        }
        void SetVisible(bool) override { workbook->Finish(); }
        QString path;
        std::unique_ptr<quorvid::XlsxWorkbook> workbook;
    };
    QString path_;
};

}  // namespace bench
