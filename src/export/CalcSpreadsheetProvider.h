#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "export/SpreadsheetApplication.h"

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

// Starts program in a session of its own, so that it outlives this program and
// is never ended with it. A small watcher process waits for it and then removes
// removeAfter (when given). Returns the program's exit status when it ends within
// waitMs milliseconds, nothing when it is still running then; in that case
// onLateExit (when given) gets the status if it ends within lateWindowMs more,
// through the event loop. Throws StepFailure when no process could be made.
std::optional<int> StartWatchedProgram(const QString& program, const QStringList& arguments,
                                       const QString& removeAfter, int waitMs,
                                       const std::function<void(int)>& onLateExit = {},
                                       int lateWindowMs = 0);

}  // namespace quorvid
