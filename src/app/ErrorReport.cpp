#include "app/ErrorReport.h"

#include "app/Addresses.h"
#include "app/Dialogs.h"

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

void ReportingProcedure::Report(int number, const QString& description) {
    ++reportCount_;
    if (sink_) {
        sink_(number, description);
    } else {
        ShowApplicationError(*dialogs_, location_, number, description);
    }
}

}  // namespace quorvid
