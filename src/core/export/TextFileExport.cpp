#include "core/export/TextFileExport.h"

#include "core/export/AlignedTextLayout.h"
#include "core/export/SavedTextFile.h"
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

namespace {

// The event turns of a save and what the bar shows meanwhile. Without a bar
// (progress null) only the turn before each row is left.
class TextSavePacing {
  public:
    TextSavePacing(EventPump& events, ProgressState* progress, const QString& path)
        : events_(events),
          progress_(progress),
          writingText_(QString::fromLatin1(kWritingFileText) + FileNameFromPath(path)) {}

    void TurnBeforeRow() { events_.DoEvents(); }

    void ShowStage(double value) {
        if (progress_ == nullptr) {
            return;
        }
        events_.DoEvents();
        progress_->setValue(value);
        progress_->setText(writingText_);
        events_.DoEvents();
    }

    void ShowRow(int row, int rows) {
        if (progress_ == nullptr) {
            return;
        }
        events_.DoEvents();
        progress_->setValue((row + (rows / 2000)) / static_cast<double>(rows) * 100);
        if (row % 1000 == 0) {
            progress_->setText(writingText_ + QStringLiteral(" (") + QString::number(row) +
                               QStringLiteral(")"));
        }
        events_.DoEvents();
    }

    void ShowDone() { ShowEnd(100, QString::fromLatin1(kDoneText)); }
    void ShowIdle() { ShowEnd(0, QString::fromLatin1(ProgressState::kIdleText)); }

  private:
    void ShowEnd(double value, const QString& text) {
        if (progress_ != nullptr) {
            progress_->setValue(value);
            progress_->setText(text);
        }
    }

    EventPump& events_;
    ProgressState* progress_;
    const QString writingText_;
};

// Every row whatever its check state sets the widths. A column whose rows
// vanish fails the save; the pass goes on with the next column.
void MeasureColumnWidths(AlignedTextLayout& layout, SavedTextFile& file) {
    layout.MeasureWidths(AlignedTextLayout::Headers::Count, [&file](const StepFailure& failure) {
        file.ReportFailure(step::saveText::kMeasureWidths, failure.description());
    });
}

void WriteHeaderLine(const AlignedTextLayout& layout, SavedTextFile& file) {
    QString line;
    if (file.Run(step::saveText::kHeaderLine, [&] { line = layout.HeaderLine(); })) {
        file.WriteLine(step::saveText::kWriteHeader, line);
    }
}

void WriteCheckedRows(const ListViewModel& grid, const AlignedTextLayout& layout,
                      TextSavePacing& pacing, SavedTextFile& file) {
    QString line;
    line.reserve(layout.LineLength());
    const int rows = grid.ItemCount();
    for (int row = 1; row <= rows; ++row) {
        pacing.TurnBeforeRow();
        line.resize(0);
        bool checked = false;
        // The rows after one that cannot be read are gone as well.
        if (!file.Run(step::saveText::kRowLine, [&] { checked = layout.AppendRow(line, row); })) {
            break;
        }
        if (!checked) {
            continue;
        }
        pacing.ShowRow(row, rows);
        file.WriteLine(step::saveText::kWriteRow, line);
    }
}

}  // namespace

void SaveListviewProperlySpaced(const Platform& platform, const ListViewModel& grid,
                                const QString& path, ProgressState* progress) {
    ReportingProcedure procedure(*platform.dialogs,
                                 QString::fromLatin1(location::kSaveListviewProperlySpaced));
    TextSavePacing pacing(*platform.events, progress, path);
    SavedTextFile file(procedure, path);
    AlignedTextLayout layout(grid, *platform.events);

    pacing.ShowStage(1);
    MeasureColumnWidths(layout, file);
    pacing.ShowStage(10);
    file.Create(step::saveText::kCreateFile);
    WriteHeaderLine(layout, file);
    pacing.ShowStage(20);
    WriteCheckedRows(grid, layout, pacing, file);
    pacing.ShowDone();
    file.Finish(step::saveText::kCloseFile);
    pacing.ShowIdle();
}

void SaveResultsAsTextFileCommand(CommandContext& context) {
    Platform& platform = context.platform;
    ReportingProcedure procedure(*platform.dialogs, QString::fromLatin1(location::kPushButton8));
    QString path;
    procedure.Step(step::saveTextCommand::kPickFile, [&] {
        path = platform.dialogs->SaveFile(QString::fromLatin1(kTextFileDialogTitle),
                                          QString::fromLatin1(kTextFileFilter));
    });
    if (path.isEmpty()) {
        return;
    }
    context.pointer.set(MousePointerState::kHourglass);
    procedure.Step(step::saveTextCommand::kSave, [&] {
        SaveListviewProperlySpaced(platform, context.resultsGrid, path, &context.progress);
    });
    context.pointer.set(MousePointerState::kDefault);
}

}  // namespace quorvid
