#pragma once

#include <QString>
#include <functional>

#include "input/FolderWalk.h"

namespace quorvid {

struct CommandContext;
class Dialogs;

inline constexpr auto kExtensionPrompt =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)";
inline constexpr auto kPickFolderTitle = "Please select folder:";

// The folder picker opened on startFolder; the chosen folder, or empty when cancelled.
QString BrowseForFolder(Dialogs& dialogs, const QString& title, const QString& startFolder);

// Runs one step of appending; a step runner may report a failure and go on.
using StepRunner = std::function<void(int number, const std::function<void()>& action)>;

// Appends to the input list every file of the queued folders whose name matches
// the pattern, except names beginning with "~" and hidden archive files, folder by
// folder in queue order.
void AppendQueuedFiles(CommandContext& context, const FolderQueue& queue, const QString& pattern,
                       const StepRunner& runStep);

// "Add All Video File/s In Folder": asks for the extension and the folder, then
// walks the folder tree and appends the matching files.
void AddFolderCommand(CommandContext& context);

}  // namespace quorvid
