#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/export/SpreadsheetApplication.h"

namespace quorvid {

// The spreadsheet application is the office suite's Calc. A workbook is written
// to a file in the temporary folder and opened with "--calc -n FILE", which
// shows it as a new untitled workbook; the file is removed as soon as the
// application no longer needs it.
class CalcSpreadsheetProvider : public SpreadsheetProvider {
  public:
    using LateFailureHandler = std::function<void(const QString& description)>;

    CalcSpreadsheetProvider() = default;
    // A first start of Calc takes seconds, so it may fail after the export has
    // returned; such a failure is passed here, so that it is still reported.
    void SetLateFailureHandler(LateFailureHandler handler) { lateFailure_ = std::move(handler); }
    // Throws StepFailure when none of the programs is found on PATH.
    std::unique_ptr<SpreadsheetApplication> CreateApplication() override;

    // soffice, libreoffice or localc, the first found on PATH; empty when none is.
    static QString FindProgram();

  private:
    LateFailureHandler lateFailure_;
};

}  // namespace quorvid
