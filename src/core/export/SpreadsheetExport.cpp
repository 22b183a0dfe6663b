#include "core/export/SpreadsheetExport.h"

#include <memory>

#include "core/export/AlignedTextLayout.h"
#include "core/export/SpreadsheetApplication.h"
#include "core/shell/CommandContext.h"
#include "core/shell/Dialogs.h"
#include "core/shell/ErrorReport.h"
#include "core/shell/EventPump.h"
#include "core/shell/ListViewModel.h"
#include "core/shell/MousePointer.h"
#include "core/shell/Platform.h"
#include "core/shell/ProcedureLocations.h"
#include "core/shell/ReportSteps.h"

namespace quorvid {

bool SaveResultsAsExcelFileIsExcelInstalled(Platform& platform) {
    try {
        platform.spreadsheet->CreateApplication().reset();
        return true;
    } catch (const std::exception&) {
        platform.dialogs->Message(QString::fromLatin1(kSpreadsheetMissingMessage));
        return false;
    }
}

void ReportLateSpreadsheetFailure(Dialogs& dialogs, const QString& description) {
    ShowApplicationError(dialogs, QString::fromLatin1(location::kPushButton9),
                         step::spreadsheet::kShowWorkbook, description);
}

QString SpreadsheetCellText(const QString& text, int column) {
    if (column == 1) {
        return text;
    }
    QString cleaned = text;
    cleaned.remove(u'=');
    return cleaned;
}

void SaveResultsAsSpreadsheetCommand(CommandContext& context) {
    Platform& platform = context.platform;
    ReportingProcedure procedure(*platform.dialogs, QString::fromLatin1(location::kPushButton9));
    const ListViewModel& grid = context.resultsGrid;
    EventPump& events = *platform.events;

    if (!SaveResultsAsExcelFileIsExcelInstalled(platform)) {
        platform.dialogs->Message(QString::fromLatin1(kSpreadsheetMissingForFeatureMessage));
        return;
    }
    if (grid.ItemCount() == 0) {
        return;
    }
    context.pointer.set(MousePointerState::kHourglass);

    std::unique_ptr<SpreadsheetApplication> application;
    SpreadsheetWorkbook* workbook = nullptr;
    procedure.Step(step::spreadsheet::kCreateApplication,
                   [&] { application = platform.spreadsheet->CreateApplication(); });
    if (application) {
        procedure.Step(step::spreadsheet::kAddWorkbook,
                       [&] { workbook = &application->AddWorkbook(); });
    }
    // Without a workbook every cell would fail on its own; one report is enough.
    if (workbook == nullptr) {
        context.pointer.set(MousePointerState::kDefault);
        return;
    }

    const int columns = grid.ColumnCount();
    for (int column = 1; column <= columns; ++column) {
        events.DoEvents();
        procedure.Step(step::spreadsheet::kHeaderCell,
                       [&] { workbook->SetCellText(1, column, grid.ColumnText(column)); });
    }

    int sheetRow = 2;
    const int rows = grid.ItemCount();
    for (int row = 1; row <= rows; ++row) {
        events.DoEvents();
        const int rowColumns = grid.ColumnCount();
        bool gridChanged = false;
        for (int column = 1; column <= rowColumns; ++column) {
            events.DoEvents();
            QString text;
            // The grid cleared under the export: the rows after this one are gone
            // too, so stop with one report instead of one per cell.
            if (!procedure.Step(step::spreadsheet::kReadCell,
                                [&] { text = AlignedTextLayout::CellText(grid, row, column); })) {
                gridChanged = true;
                break;
            }
            procedure.Step(step::spreadsheet::kWriteCell, [&] {
                workbook->SetCellText(sheetRow, column, SpreadsheetCellText(text, column));
            });
        }
        if (gridChanged) {
            break;
        }
        ++sheetRow;
    }

    procedure.Step(step::spreadsheet::kAutoFit, [&] { workbook->AutoFitColumns(); });
    procedure.Step(step::spreadsheet::kShowWorkbook, [&] { application->SetVisible(true); });
    context.pointer.set(MousePointerState::kDefault);
}

}  // namespace quorvid
