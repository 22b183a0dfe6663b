#pragma once

#include <QString>

namespace quorvid {

class Dialogs;
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

// A failure of the spreadsheet application that shows only after the command
// has ended: reported as a failure of the command's step that showed the workbook.
void ReportLateSpreadsheetFailure(Dialogs& dialogs, const QString& description);

// "Save Results As Excel File": every row of the results grid, checked or not,
// under the header row of a new workbook, columns fitted, shown to the user.
void SaveResultsAsSpreadsheetCommand(CommandContext& context);

}  // namespace quorvid
