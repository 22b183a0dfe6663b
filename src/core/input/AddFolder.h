#pragma once

#include <QString>
#include <functional>

#include "core/input/FolderWalk.h"

namespace quorvid {

struct CommandContext;
class Dialogs;
class EventPump;

inline constexpr auto kExtensionPrompt =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)";
inline constexpr auto kPickFolderTitle = "Please select folder:";

// The folder picker opened on startFolder; the chosen folder, or empty when cancelled.
QString BrowseForFolder(Dialogs& dialogs, const QString& title, const QString& startFolder);

// Runs one step of appending; a step runner may report a failure and go on.
using StepRunner = std::function<void(int number, const std::function<void()>& action)>;

// Receives the full path of each file a folder walk lists.
using PathSink = std::function<void(const QString& path)>;

// Hands to append every file of the queued folders whose name matches the
// pattern, except names beginning with "~" and hidden archive files, folder by
// folder in queue order.
void AppendQueuedFiles(EventPump& events, const FolderQueue& queue, const QString& pattern,
                       const StepRunner& runStep, const PathSink& append);

// "Add All Video File/s In Folder": asks for the extension and the folder, then
// walks the folder tree and appends the matching files.
void AddFolderCommand(CommandContext& context);

}  // namespace quorvid
