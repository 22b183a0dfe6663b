#include "core/shell/report/ErrorReport.h"

#include "core/shell/platform/Dialogs.h"
#include "core/shell/texts/Addresses.h"

namespace quorvid {

QString ApplicationErrorMessage(const QString& location, int step, const QString& description) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromLatin1(address::kSupportEmail);
}

void ShowApplicationError(Dialogs& dialogs, const QString& location, int step,
                          const QString& description) {
    dialogs.Warning(QString::fromLatin1(kApplicationErrorTitle),
                    ApplicationErrorMessage(location, step, description));
}

ReportingProcedure::~ReportingProcedure() {
    try {
        ReportUnshownFailures();
    } catch (...) {
        // A box that cannot be shown while the procedure ends has no one to tell.
    }
}

void ReportingProcedure::Report(int number, const QString& description) {
    ++reportCount_;
    if (sink_) {
        // A sink has no boxes to flood: every failure goes to it.
        sink_(number, description);
        return;
    }
    if (reportCount_ <= kShownReportLimit) {
        ShowApplicationError(*dialogs_, location_, number, description);
        return;
    }
    ++unshownCount_;
    if (firstUnshown_.size() < static_cast<size_t>(kSummedUpLineCount)) {
        firstUnshown_.push_back({number, description});
    }
}

void ReportingProcedure::ReportUnshownFailures() {
    if (unshownCount_ == 0) {
        return;
    }
    QString summary = unshownCount_ == 1
                          ? QStringLiteral("1 more failure was not shown")
                          : QStringLiteral("%1 more failures were not shown").arg(unshownCount_);
    summary += QStringLiteral(" one by one. The first of them:");
    for (const UnshownFailure& failure : firstUnshown_) {
        summary += QStringLiteral("\r\nline ") + QString::number(failure.step) +
                   QStringLiteral(": ") + failure.description;
    }
    const int firstStep = firstUnshown_.front().step;
    unshownCount_ = 0;
    firstUnshown_.clear();
    ShowApplicationError(*dialogs_, location_, firstStep, summary);
}

}  // namespace quorvid
