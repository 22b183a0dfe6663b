#include "core/extraction/ExtractionRun.h"

#include <QDir>

#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractionFeed.h"
#include "core/results/ExtractionReplay.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

ExtractionRun::ExtractionRun(CommandContext& context, bool& extractionRunning)
    : ExtractionRun(context, extractionRunning,
                    ProgramExtractorOptions(context.platform.programFolder)) {}

ExtractionRun::ExtractionRun(CommandContext& context, bool& extractionRunning,
                             ExtractorPoolOptions helpers)
    : context_(context),
      extractionRunning_(extractionRunning),
      helpers_(std::move(helpers)),
      extractor_(ProgramMediaInfoLibrary(context.platform.programFolder), desktopShell_),
      grid_(context.resultsGrid) {}

ExtractionRun::ExtractionRun(CommandContext& context, bool& extractionRunning,
                             MediaInfoLibrary& library, Shell& shell)
    : context_(context),
      extractionRunning_(extractionRunning),
      extractor_(library, shell),
      grid_(context.resultsGrid) {}

void ExtractionRun::PushButton2_Click() {
    Dialogs& dialogs = *context_.platform.dialogs;
    ReportingProcedure procedure(dialogs, QString::fromLatin1(location::kPushButton2));
    if (procedure.Test(step::extract::kRefuseSecondStart, [&] { return extractionRunning_; })) {
        return;
    }
    procedure.Step(step::extract::kMarkRunning, [&] { extractionRunning_ = true; });
    if (procedure.Test(step::extract::kTestEmptyList,
                       [&] { return context_.inputList.ItemCount() == 0; })) {
        procedure.Step(step::extract::kNoFilesMessage,
                       [&] { dialogs.Message(QString::fromLatin1(kNoFilesAddedText)); });
    } else {
        ProcessFiles(procedure);
        procedure.Step(step::extract::kNormalPointer,
                       [&] { context_.pointer.set(MousePointerState::kDefault); });
        procedure.Step(step::extract::kProgressValueReset, [&] { context_.progress.setValue(0); });
        procedure.Step(step::extract::kProgressTextReset, [&] {
            context_.progress.setText(QString::fromLatin1(ProgressState::kIdleText));
        });
        // The run's last word is "Done.", after any failures it did not show.
        procedure.ReportUnshownFailures();
        procedure.Step(step::extract::kDoneMessage,
                       [&] { dialogs.Message(QString::fromLatin1(kExtractionDoneText)); });
    }
    procedure.Step(step::extract::kMarkIdle, [&] { extractionRunning_ = false; });
}

namespace {

// The user learns of the confinement the files are read under where it is less
// than it should be: none at all, each run; no Landlock, once a session.
void ReportConfinement(const ExtractorPool& pool) {
    if (!pool.refusal().isEmpty()) {
        throw StepFailure(QStringLiteral("The extraction helpers cannot confine themselves (") +
                          pool.refusal() +
                          QStringLiteral("), so the window reads the files itself, unconfined."));
    }
    static bool noteShown = false;
    if (!pool.confinementNote().isEmpty() && !noteShown) {
        noteShown = true;
        throw StepFailure(QStringLiteral("The extraction helpers are confined less than they "
                                         "should be: ") +
                          pool.confinementNote() + QStringLiteral("."));
    }
}

}  // namespace

void ExtractionRun::ProcessFiles(ReportingProcedure& procedure) {
    ListViewModel& input = context_.inputList;
    procedure.Step(step::extract::kClearRows, [&] { grid_.ClearRows(); });
    const ListViewModel::PacedAppends pacedRows(grid_.model());
    for (int i = grid_.model().ColumnCount(); i > kCatalogueColumnCount; --i) {
        procedure.Step(step::extract::kRemoveColumn, [&] { grid_.model().RemoveColumn(i); });
    }
    procedure.Step(step::extract::kWorkingFolder, [&] {
        if (!QDir::setCurrent(context_.platform.programFolder)) {
            throw StepFailure(QStringLiteral("The working folder could not be set to ") +
                              context_.platform.programFolder);
        }
    });
    int count = 0;
    procedure.Step(step::extract::kCountFiles, [&] { count = input.ItemCount(); });
    // Helpers read the files ahead of the loop, so the library never meets a
    // hostile file in the window's process.
    std::unique_ptr<ExtractorPool> pool;
    if (helpers_) {
        pool = std::make_unique<ExtractorPool>(*helpers_);
        pool->Start();
        procedure.Step(step::extract::kCountFiles, [&] { ReportConfinement(*pool); });
    }
    ExtractionFeed feed(
        pool.get(), extractor_,
        [&input](int position) -> std::optional<QString> {
            if (position > input.ItemCount()) {
                return std::nullopt;
            }
            return input.ItemText(position);
        },
        count);
    for (int j = 1; j <= count; ++j) {
        QString path;
        // An entry that left the list while events ran has no row to fill.
        if (!procedure.Step(step::extract::kReadPath, [&] { path = input.ItemText(j); })) {
            continue;
        }
        // Progress and events are paced; the bar ends on the last file all the same.
        const bool progressDue = j == count || context_.platform.events->ProgressDue();
        if (progressDue) {
            procedure.Step(step::extract::kProgressValue, [&] {
                context_.progress.setValue(static_cast<double>(j) / input.ItemCount() * 100);
            });
            procedure.Step(step::extract::kProgressText, [&] {
                context_.progress.setText(QString::fromLatin1(kProcessingPrefix) +
                                          FileNameFromPath(path));
            });
        }
        procedure.Step(step::extract::kYield, [&] {
            if (progressDue) {
                context_.platform.events->DoEvents();
            }
        });
        procedure.Step(step::extract::kHourglass,
                       [&] { context_.pointer.set(MousePointerState::kHourglass); });
        // Waiting for a helper's record keeps the window's events running.
        WriteExtractionRow(procedure, grid_, feed.Take(j, path));
    }
}

}  // namespace quorvid
