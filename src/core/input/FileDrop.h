#pragma once

#include <QStringList>

class QMimeData;

namespace quorvid {

struct CommandContext;

// True when the drag carries a list of local files or folders.
bool OffersFileList(const QMimeData& data);

// The local paths of the drag's file list, in the source's order.
QStringList DroppedPaths(const QMimeData& data);

// Appends dropped paths in order: a file as it is, a folder as every file in and
// below it (any extension, without "~" names and hidden files). Paths that have
// gone since the drag began are passed over.
void AddDroppedPaths(CommandContext& context, const QStringList& paths);

}  // namespace quorvid
