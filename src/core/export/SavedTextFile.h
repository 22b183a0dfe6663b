#pragma once

#include <QString>
#include <QStringEncoder>
#include <memory>
#include <optional>
#include <utility>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

class ReportingProcedure;
class SafeFileWriter;

// The file a text save writes, put in place only when everything was written.
// A grid that changes under the save (its yields let "Clear List" run) would
// leave a file that matches neither the old grid nor the new one: such a save
// is reported and the file at the path is left as it was. A save fails with one
// report, which says what became of the file; later failures add nothing.
class SavedTextFile {
  public:
    SavedTextFile(ReportingProcedure& procedure, QString path);
    ~SavedTextFile();
    SavedTextFile(const SavedTextFile&) = delete;
    SavedTextFile& operator=(const SavedTextFile&) = delete;

    // Reports the save's failure at step, unless it failed already.
    void ReportFailure(int step, const QString& description);

    // Runs a step whose failure spoils the save; false when it failed.
    template <typename Action>
    bool Run(int step, Action&& action) {
        const std::optional<QString> failure = FailureOf(std::forward<Action>(action));
        if (failure) {
            ReportFailure(step, *failure);
        }
        return !failure;
    }

    // Opens the file unless the save failed already. Without a file there is
    // nothing to write or close: its creation failure is the save's one report.
    void Create(int step);
    // Writes one line and its line end; nothing without a file or after a failure.
    void WriteLine(int step, const QString& line);
    // Puts the file in place, or drops it when the save failed.
    void Finish(int step);

  private:
    ReportingProcedure& procedure_;
    QString path_;
    std::unique_ptr<SafeFileWriter> file_;
    QStringEncoder encoder_{QStringConverter::System};
    bool failed_ = false;
};

}  // namespace quorvid
