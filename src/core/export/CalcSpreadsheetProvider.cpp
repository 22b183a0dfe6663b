#include "core/export/CalcSpreadsheetProvider.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <optional>

#include "core/export/WatchedProgram.h"
#include "core/export/XlsxWorkbook.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// Long enough for a program that cannot start to say so (or for a running Calc
// to take over the file), short enough not to hold up the window.
constexpr int kStartCheckMs = 1500;
// A program that ends with an error this soon after its start did not start;
// later it may be the user's own session ending.
constexpr int kLateFailureWindowMs = 60000;

QString StartFailure(const QString& program, int exitStatus) {
    return QStringLiteral("The spreadsheet application could not be started: ") +
           QDir::toNativeSeparators(program) + QStringLiteral(" ended with exit status ") +
           QString::number(exitStatus);
}

class CalcApplication : public SpreadsheetApplication {
  public:
    CalcApplication(QString program, CalcSpreadsheetProvider::LateFailureHandler lateFailure)
        : program_(std::move(program)), lateFailure_(std::move(lateFailure)) {}

    ~CalcApplication() override {
        // Once handed over, the watcher removes the file; before that it is ours.
        if (workbook_ && !handedOver_) {
            const QString path = workbook_->path();
            workbook_.reset();
            QFile::remove(path);
        }
    }

    SpreadsheetWorkbook& AddWorkbook() override {
        if (workbook_) {
            throw StepFailure(QStringLiteral("The spreadsheet application has a workbook already"));
        }
        QTemporaryFile reserved(QDir::tempPath() + QStringLiteral("/Quorvid-XXXXXX.xlsx"));
        reserved.setAutoRemove(false);
        if (!reserved.open()) {
            throw StepFailure(QStringLiteral("No workbook file could be made in ") +
                              QDir::toNativeSeparators(QDir::tempPath()) + QStringLiteral(": ") +
                              reserved.errorString());
        }
        const QString path = reserved.fileName();
        reserved.close();
        try {
            workbook_ = std::make_unique<XlsxWorkbook>(path);
        } catch (...) {
            QFile::remove(path);
            throw;
        }
        return *workbook_;
    }

    void SetVisible(bool visible) override {
        if (!visible || shown_) {
            return;
        }
        QStringList arguments{QStringLiteral("--calc")};
        QString file;
        if (workbook_) {
            workbook_->Finish();
            file = workbook_->path();
            arguments << QStringLiteral("-n") << file;
        }
        std::function<void(int)> onLateExit;
        if (lateFailure_) {
            onLateExit = [handler = lateFailure_, program = program_](int exitStatus) {
                if (exitStatus != 0) {
                    handler(StartFailure(program, exitStatus));
                }
            };
        }
        const std::optional<int> status = StartWatchedProgram(
            program_, arguments, file, kStartCheckMs, onLateExit, kLateFailureWindowMs);
        handedOver_ = true;
        if (status && *status != 0) {
            if (!file.isEmpty()) {
                QFile::remove(file);
            }
            throw StepFailure(StartFailure(program_, *status));
        }
        shown_ = true;
    }

  private:
    QString program_;
    CalcSpreadsheetProvider::LateFailureHandler lateFailure_;
    std::unique_ptr<XlsxWorkbook> workbook_;
    bool handedOver_ = false;
    bool shown_ = false;
};

}  // namespace

QString CalcSpreadsheetProvider::FindProgram() {
    for (const auto* name : {"soffice", "libreoffice", "localc"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

std::unique_ptr<SpreadsheetApplication> CalcSpreadsheetProvider::CreateApplication() {
    const QString program = FindProgram();
    if (program.isEmpty()) {
        throw StepFailure(QStringLiteral(
            "No spreadsheet application was found (soffice, libreoffice or localc on PATH)"));
    }
    return std::make_unique<CalcApplication>(program, lateFailure_);
}

}  // namespace quorvid
