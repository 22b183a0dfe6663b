#include "extract/ExtractionRun.h"

#include <QDir>

#include "app/CommandContext.h"
#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/EventPump.h"
#include "app/ListViewModel.h"
#include "app/MousePointer.h"
#include "app/PathFunctions.h"
#include "app/Platform.h"
#include "app/ProcedureLocations.h"
#include "app/ProgressState.h"
#include "extract/ExtractionSteps.h"
#include "extract/MediaInfoDLL.h"

namespace quorvid {

ExtractionRun::ExtractionRun(CommandContext& context, bool& extractionRunning)
    : context_(context),
      extractionRunning_(extractionRunning),
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
    if (procedure.Test(step::kRefuseSecondStart, [&] { return extractionRunning_; })) {
        return;
    }
    procedure.Step(step::kMarkRunning, [&] { extractionRunning_ = true; });
    if (procedure.Test(step::kTestEmptyList, [&] { return context_.inputList.ItemCount() == 0; })) {
        procedure.Step(step::kNoFilesMessage,
                       [&] { dialogs.Message(QString::fromLatin1(kNoFilesAddedText)); });
    } else {
        ProcessFiles(procedure);
        procedure.Step(step::kNormalPointer,
                       [&] { context_.pointer.set(MousePointerState::kDefault); });
        procedure.Step(step::kProgressValueReset, [&] { context_.progress.setValue(0); });
        procedure.Step(step::kProgressTextReset, [&] {
            context_.progress.setText(QString::fromLatin1(ProgressState::kIdleText));
        });
        // The run's last word is "Done.", after any failures it did not show.
        procedure.ReportUnshownFailures();
        procedure.Step(step::kDoneMessage,
                       [&] { dialogs.Message(QString::fromLatin1(kExtractionDoneText)); });
    }
    procedure.Step(step::kMarkIdle, [&] { extractionRunning_ = false; });
}

void ExtractionRun::ProcessFiles(ReportingProcedure& procedure) {
    ListViewModel& input = context_.inputList;
    procedure.Step(step::kClearRows, [&] { grid_.ClearRows(); });
    for (int i = grid_.model().ColumnCount(); i > kCatalogueColumnCount; --i) {
        procedure.Step(step::kRemoveColumn, [&] { grid_.model().RemoveColumn(i); });
    }
    procedure.Step(step::kWorkingFolder, [&] {
        if (!QDir::setCurrent(context_.platform.programFolder)) {
            throw StepFailure(QStringLiteral("The working folder could not be set to ") +
                              context_.platform.programFolder);
        }
    });
    int count = 0;
    procedure.Step(step::kCountFiles, [&] { count = input.ItemCount(); });
    for (int j = 1; j <= count; ++j) {
        QString path;
        // An entry that left the list while events ran has no row to fill.
        if (!procedure.Step(step::kReadPath, [&] { path = input.ItemText(j); })) {
            continue;
        }
        procedure.Step(step::kProgressValue, [&] {
            context_.progress.setValue(static_cast<double>(j) / input.ItemCount() * 100);
        });
        procedure.Step(step::kProgressText, [&] {
            context_.progress.setText(QString::fromLatin1(kProcessingPrefix) +
                                      FileNameFromPath(path));
        });
        procedure.Step(step::kYield, [&] { context_.platform.events->DoEvents(); });
        procedure.Step(step::kHourglass,
                       [&] { context_.pointer.set(MousePointerState::kHourglass); });
        WriteRow(procedure, extractor_.Extract(path));
    }
}

void ExtractionRun::WriteRow(ReportingProcedure& procedure, const FileExtraction& extraction) {
    int row = 0;
    bool rowAdded = false;
    const auto addRow = [&] {
        rowAdded = true;
        procedure.Step(step::kAppendRow, [&] { row = grid_.AddRow(extraction.path()); });
    };
    for (const ExtractionEvent& event : extraction.events()) {
        if (!rowAdded && event.step > step::kAppendRow) {
            addRow();
        }
        switch (event.kind) {
            case ExtractionEvent::Kind::Failure:
                procedure.Step(event.step, [&] { throw StepFailure(event.text); });
                break;
            case ExtractionEvent::Kind::Cell:
                procedure.Step(event.step, [&] { grid_.SetCell(row, event.cell, event.text); });
                break;
            case ExtractionEvent::Kind::Detail:
                WriteDetail(procedure, row, event);
                break;
        }
    }
    if (!rowAdded) {
        addRow();
    }
}

void ExtractionRun::WriteDetail(ReportingProcedure& procedure, int row,
                                const ExtractionEvent& detail) {
    int position = -1;
    procedure.Step(step::kFindColumn, [&] { position = grid_.FindColumnByHeader(detail.header); });
    if (procedure.Test(step::kFoundColumn, [&] { return position != -1; })) {
        procedure.Step(step::kWriteFoundColumn,
                       [&] { grid_.SetCell(row, position - 1, detail.text); });
    } else {
        procedure.Step(step::kAppendColumn, [&] { grid_.AppendColumn(detail.header); });
        procedure.Step(step::kWriteNewColumn,
                       [&] { grid_.SetCell(row, grid_.model().ColumnCount() - 1, detail.text); });
    }
}

}  // namespace quorvid
