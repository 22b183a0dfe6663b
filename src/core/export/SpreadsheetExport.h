#pragma once

#include <QString>

namespace quorvid {

class Dialogs;
class EventPump;
class ReportingProcedure;
class SpreadsheetWorkbook;
class TableText;
struct CommandContext;
struct Platform;

inline constexpr auto kSpreadsheetMissingMessage =
    "Excel is not installed on this computer. You need to have it installed to use this "
    "software without error.";
inline constexpr auto kSpreadsheetMissingForFeatureMessage =
    "Excel is not installed on this computer. You need to have it installed to use this "
    "feature.";

// True when the spreadsheet application can be created; otherwise shows its
// message and returns false. Never shows the error report.
bool SaveResultsAsExcelFileIsExcelInstalled(Platform& platform);

// Cells of columns 2 onwards lose every "=", so that no text turns into a formula.
QString SpreadsheetCellText(const QString& text, int column);

// The sheet of "Save Results As Excel File", in parts for tables whose rows come
// one at a time: the column headers in row 1, then a row of the table in a row
// of the sheet, its cells from column 2 on without "=". Each cell is a step of
// procedure, and the events are yielded to once per cell.
void WriteSpreadsheetHeaderRow(ReportingProcedure& procedure, EventPump& events,
                               const TableText& table, SpreadsheetWorkbook& workbook);
// False when the row cannot be read: the table changed underneath, so the rows
// after it are gone too.
bool WriteSpreadsheetRow(ReportingProcedure& procedure, EventPump& events, const TableText& table,
                         int row, SpreadsheetWorkbook& workbook, int sheetRow);

// A failure of the spreadsheet application that shows only after the command
// has ended: reported as a failure of the command's step that showed the workbook.
void ReportLateSpreadsheetFailure(Dialogs& dialogs, const QString& description);

// "Save Results As Excel File": every row of the results grid, checked or not,
// under the header row of a new workbook, columns fitted, shown to the user.
void SaveResultsAsSpreadsheetCommand(CommandContext& context);

}  // namespace quorvid
