#pragma once

#include <sys/types.h>

#include <QString>
#include <set>
#include <utility>
#include <vector>

#include "core/shell/FileSystemObject.h"

namespace quorvid {

struct Platform;

// Folder paths, each ending with the separator, in walk order.
using FolderQueue = std::vector<QString>;

// True when the path's attributes can be read and include directory.
bool IsFolder(const QString& path);

// The walk neither lists nor descends into hidden system folders (22, and 1046
// for a reparse point), unless the folder is the root of a drive.
bool IsWalkableFolder(int attributes, bool isRootFolder);

// The folder-tree walk. One instance remembers every folder it has queued (by
// device and inode), so a link back up the tree is never walked twice.
class FolderWalk {
  public:
    explicit FolderWalk(Platform& platform) : platform_(platform) {}

    // Appends to the queue every walkable folder below its entries, level by
    // level when recurse is on (one level otherwise). Folders that cannot be
    // listed leave the queue silently; other failures show the walk's error report.
    void GetSubDirectories2016(FolderQueue& queue, bool recurse);

  private:
    using Identity = std::pair<dev_t, ino_t>;

    void Walk(FolderQueue& queue, bool recurse);
    // False when the folder was queued before under any path.
    bool Remember(const QString& folder);
    bool IsWalkable(const QString& folder) const;

    Platform& platform_;
    FileSystemObject fileSystem_;
    std::set<Identity> queued_;
};

// One walk of a fresh FolderWalk.
void GetSubDirectories2016(Platform& platform, FolderQueue& queue, bool recurse);

}  // namespace quorvid
