#include "core/export/SpreadsheetExport.h"

#include <memory>

#include "core/export/AlignedTextLayout.h"
#include "core/export/SpreadsheetApplication.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/TableText.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

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

void WriteSpreadsheetHeaderRow(ReportingProcedure& procedure, EventPump& events,
                               const TableText& table, SpreadsheetWorkbook& workbook) {
    const int columns = table.ColumnCount();
    for (int column = 1; column <= columns; ++column) {
        events.DoEvents();
        procedure.Step(step::spreadsheet::kHeaderCell,
                       [&] { workbook.SetCellText(1, column, table.ColumnText(column)); });
    }
}

bool WriteSpreadsheetRow(ReportingProcedure& procedure, EventPump& events, const TableText& table,
                         int row, SpreadsheetWorkbook& workbook, int sheetRow) {
    const int columns = table.ColumnCount();
    for (int column = 1; column <= columns; ++column) {
        events.DoEvents();
        QString text;
        // The grid cleared under the export: the rows after this one are gone
        // too, so stop with one report instead of one per cell.
        if (!procedure.Step(step::spreadsheet::kReadCell,
                            [&] { text = AlignedTextLayout::CellText(table, row, column); })) {
            return false;
        }
        procedure.Step(step::spreadsheet::kWriteCell, [&] {
            workbook.SetCellText(sheetRow, column, SpreadsheetCellText(text, column));
        });
    }
    return true;
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

    WriteSpreadsheetHeaderRow(procedure, events, grid, *workbook);
    const int rows = grid.ItemCount();
    for (int row = 1; row <= rows; ++row) {
        events.DoEvents();
        if (!WriteSpreadsheetRow(procedure, events, grid, row, *workbook, row + 1)) {
            break;
        }
    }

    procedure.Step(step::spreadsheet::kAutoFit, [&] { workbook->AutoFitColumns(); });
    procedure.Step(step::spreadsheet::kShowWorkbook, [&] { application->SetVisible(true); });
    context.pointer.set(MousePointerState::kDefault);
}

}  // namespace quorvid
