#pragma once

#include <QString>

namespace quorvid {

class ListViewModel;
class ProgressState;
struct CommandContext;
struct Platform;

inline constexpr auto kTextFileDialogTitle = "Save";
inline constexpr auto kTextFileFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
inline constexpr auto kWritingFileText = "Writing file: ";
inline constexpr auto kDoneText = "Done.";

// Writes the grid to path: the header line, then every checked row, each cell
// padded to its column's widest text (headers included) and followed by a TAB,
// CR LF after every line. Reports its own failures and goes on; the file is
// replaced only when everything was written. progress may be null.
void SaveListviewProperlySpaced(const Platform& platform, const ListViewModel& grid,
                                const QString& path, ProgressState* progress);

// "Save Results As Text File": asks for the file name and writes the results grid.
void SaveResultsAsTextFileCommand(CommandContext& context);

}  // namespace quorvid
