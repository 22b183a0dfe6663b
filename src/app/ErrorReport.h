#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

#include "app/StepFailure.h"

namespace quorvid {

class Dialogs;

inline constexpr auto kApplicationErrorTitle = "Application Error";

// The text of the error report: description, CR LF, location, "at line ", step,
// CR CR, the request for a screenshot.
QString ApplicationErrorMessage(const QString& location, int step, const QString& description);

// Shows the error report and returns when the user has pressed OK.
void ShowApplicationError(Dialogs& dialogs, const QString& location, int step,
                          const QString& description);

// The armed error report of one reporting procedure. Each step runs through it:
// a failing step is reported with its number and the procedure goes on.
class ReportingProcedure {
  public:
    // Where a failed step goes instead of a message box: its number and description.
    using FailureSink = std::function<void(int step, const QString& description)>;

    ReportingProcedure(Dialogs& dialogs, QString location)
        : dialogs_(&dialogs), location_(std::move(location)) {}
    explicit ReportingProcedure(FailureSink sink) : sink_(std::move(sink)) {}

    // Runs one step. Returns false when it failed (after the report was shown).
    template <typename Action>
    bool Step(int number, Action&& action) {
        const std::optional<QString> failure = FailureOf(std::forward<Action>(action));
        if (failure) {
            Report(number, *failure);
        }
        return !failure;
    }

    // The test of a conditional or a loop head. A test that fails counts as
    // true, so the block that it guards is entered.
    template <typename Condition>
    bool Test(int number, Condition&& condition) {
        bool result = true;
        Step(number, [&] { result = std::forward<Condition>(condition)(); });
        return result;
    }

    const QString& location() const { return location_; }
    int reportCount() const { return reportCount_; }

  private:
    void Report(int number, const QString& description);

    Dialogs* dialogs_ = nullptr;
    FailureSink sink_;
    QString location_;
    int reportCount_ = 0;
};

}  // namespace quorvid
