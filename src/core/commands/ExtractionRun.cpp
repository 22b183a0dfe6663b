#include "core/commands/ExtractionRun.h"

#include <QDir>

#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractionFeed.h"
#include "core/pool/ExtractorPool.h"
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

ExtractionRun::ExtractionRun(CommandContext& context)
    : ExtractionRun(context, ProgramExtractorOptions(context.platform.programFolder)) {}

ExtractionRun::ExtractionRun(CommandContext& context, ExtractorPoolOptions helpers)
    : context_(context),
      helpers_(std::make_unique<ExtractorPoolOptions>(std::move(helpers))),
      extractor_(ProgramMediaInfoLibrary(context.platform.programFolder), desktopShell_),
      grid_(context.resultsGrid) {}

ExtractionRun::ExtractionRun(CommandContext& context, MediaInfoLibrary& library, Shell& shell)
    : context_(context), extractor_(library, shell), grid_(context.resultsGrid) {}

ExtractionRun::~ExtractionRun() = default;

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

void ExtractionRun::ProcessFiles(ReportingProcedure& procedure) {
    ListViewModel& input = context_.inputList;
    procedure.Step(step::extract::kClearRows, [&] { grid_.ClearRows(); });
    const ListViewModel::PacedAppends pacedRows(grid_.model());
    ResetColumns(procedure);
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
    const std::unique_ptr<ExtractorPool> pool = StartReaders(procedure);
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
        ProcessFile(procedure, j, count, path);
        // Waiting for a helper's record keeps the window's events running.
        WriteExtractionRow(procedure, grid_, feed.Take(j, path));
    }
}

void ExtractionRun::ResetColumns(ReportingProcedure& procedure) {
    // The last run's detail columns go as one change: a view that hears of each
    // one alone pays for all the columns left, thousands of times over.
    const int count = grid_.model().ColumnCount();
    if (count > kCatalogueColumnCount) {
        procedure.Step(step::extract::kRemoveColumn,
                       [&] { grid_.model().RemoveColumns(kCatalogueColumnCount + 1, count); });
    }
}

std::unique_ptr<ExtractorPool> ExtractionRun::StartReaders(ReportingProcedure& procedure) {
    if (!helpers_) {
        return nullptr;
    }
    auto pool = std::make_unique<ExtractorPool>(*helpers_);
    pool->Start();
    procedure.Step(step::extract::kStartReaders, [&] { ReportConfinement(*pool); });
    return pool;
}

// The user learns of the confinement the files are read under where it is less
// than it should be: none at all, each run; no Landlock, once a session.
void ExtractionRun::ReportConfinement(const ExtractorPool& pool) {
    if (!pool.refusal().isEmpty()) {
        throw StepFailure(QStringLiteral("The extraction helpers cannot confine themselves (") +
                          pool.refusal() +
                          QStringLiteral("), so the window reads the files itself, unconfined."));
    }
    if (!pool.confinementNote().isEmpty() && !confinementNoteShown_) {
        confinementNoteShown_ = true;
        throw StepFailure(QStringLiteral("The extraction helpers are confined less than they "
                                         "should be: ") +
                          pool.confinementNote() + QStringLiteral("."));
    }
}

// Progress, the one yield and the busy pointer before the file's row.
void ExtractionRun::ProcessFile(ReportingProcedure& procedure, int position, int count,
                                const QString& path) {
    // Progress and events are paced; the bar ends on the last file all the same.
    const bool progressDue = position == count || context_.platform.events->ProgressDue();
    if (progressDue) {
        procedure.Step(step::extract::kProgressValue, [&] {
            context_.progress.setValue(static_cast<double>(position) /
                                       context_.inputList.ItemCount() * 100);
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
}

}  // namespace quorvid
