#pragma once

#include <QString>

namespace quorvid {

class Clipboard;
class EventPump;
class ListViewModel;
struct CommandContext;

inline constexpr auto kCopiedToClipboardMessage =
    "Results have been copied to the clipboard.\r\rClick a text area where you normally type "
    "and press Ctrl+V to paste the clipboard.";

// Another program may hold the clipboard for a moment: an attempt that fails is
// made again at once, up to this many attempts in all.
inline constexpr int kClipboardAttempts = 1000;

// Both return true when the last attempt succeeded. Failures are never reported.
bool ClearClipboard(Clipboard& clipboard);
bool SetClipboardText(Clipboard& clipboard, const QString& text);

// The grid's checked rows in the text file's cell layout, widths from the cells
// only, no header line, CR LF after every row.
QString AlignedClipboardText(const ListViewModel& grid, EventPump& events);

// Puts AlignedClipboardText on the clipboard. A grid without rows leaves the
// clipboard as it was. Failures of reading the grid end the copy (StepFailure).
void CopyListviewToClipboard(const ListViewModel& grid, EventPump& events, Clipboard& clipboard);

// "Copy Results To Clipboard": copies the results grid and tells how to paste it.
void CopyResultsToClipboardCommand(CommandContext& context);

}  // namespace quorvid
