#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/shell/report/StepFailure.h"

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
// a failing step is reported with its number and the procedure goes on. After
// kShownReportLimit reports the further failures are only gathered, and one
// more report sums them up when the procedure ends (or earlier, when asked), so
// that a flood of failures cannot bury the user in boxes.
class ReportingProcedure {
  public:
    static constexpr int kShownReportLimit = 20;
    static constexpr int kSummedUpLineCount = 5;

    // Where a failed step goes instead of a message box: its number and description.
    using FailureSink = std::function<void(int step, const QString& description)>;

    ReportingProcedure(Dialogs& dialogs, QString location)
        : dialogs_(&dialogs), location_(std::move(location)) {}
    explicit ReportingProcedure(FailureSink sink) : sink_(std::move(sink)) {}
    ~ReportingProcedure();
    ReportingProcedure(const ReportingProcedure&) = delete;
    ReportingProcedure& operator=(const ReportingProcedure&) = delete;

    // Runs one step. Returns false when it failed (after the report was shown
    // or gathered).
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

    // Shows the one report on the failures gathered since the limit was
    // reached; nothing when there are none.
    void ReportUnshownFailures();

    const QString& location() const { return location_; }
    // Every failure so far, shown or gathered.
    int reportCount() const { return reportCount_; }

  private:
    struct UnshownFailure {
        int step;
        QString description;
    };

    void Report(int number, const QString& description);

    Dialogs* dialogs_ = nullptr;
    FailureSink sink_;
    QString location_;
    int reportCount_ = 0;
    int unshownCount_ = 0;
    std::vector<UnshownFailure> firstUnshown_;
};

}  // namespace quorvid
