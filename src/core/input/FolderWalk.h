#pragma once

#include <sys/types.h>

#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/shell/files/FileSystemObject.h"
#include "core/shell/report/ErrorReport.h"

namespace quorvid {

class Dialogs;
class EventPump;

// Folder paths, each ending with the separator, in walk order.
using FolderQueue = std::vector<QString>;

// Opens the error report of one level of the walk. Each level is a reporting
// procedure of its own, so the limit on shown reports counts per level.
using WalkReportOpener = std::function<std::unique_ptr<ReportingProcedure>()>;

// The window's report: message boxes at the walk's location.
WalkReportOpener WalkErrorReport(Dialogs& dialogs);
// Every failed step goes to the sink with its number.
WalkReportOpener WalkFailuresTo(ReportingProcedure::FailureSink sink);

// True when the path's attributes can be read and include directory.
bool IsFolder(const QString& path);

// The walk neither lists nor descends into hidden system folders (22, and 1046
// for a reparse point), unless the folder is the root of a drive.
bool IsWalkableFolder(int attributes, bool isRootFolder);

// The folder-tree walk. One instance remembers every folder it has queued (by
// device and inode), so a link back up the tree is never walked twice.
class FolderWalk {
  public:
    // events: yielded to while folders are listed and queued.
    FolderWalk(EventPump& events, WalkReportOpener openReport)
        : events_(events), openReport_(std::move(openReport)) {}

    // Appends to the queue every walkable folder below its entries, level by
    // level when recurse is on (one level otherwise). Folders that cannot be
    // listed leave the queue silently; other failures go to the walk's report.
    void GetSubDirectories2016(FolderQueue& queue, bool recurse);

  private:
    using Identity = std::pair<dev_t, ino_t>;

    void Walk(FolderQueue& queue, bool recurse);
    // False when the folder was queued before under any path.
    bool Remember(const QString& folder);
    bool IsWalkable(const QString& folder) const;

    EventPump& events_;
    WalkReportOpener openReport_;
    FileSystemObject fileSystem_;
    std::set<Identity> queued_;
};

// One walk of a fresh FolderWalk.
void GetSubDirectories2016(EventPump& events, const WalkReportOpener& openReport,
                           FolderQueue& queue, bool recurse);

}  // namespace quorvid
