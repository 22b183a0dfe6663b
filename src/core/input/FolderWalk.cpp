#include "core/input/FolderWalk.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <limits>

#include "core/input/FileListing.h"
#include "core/shell/ErrorReport.h"
#include "core/shell/EventPump.h"
#include "core/shell/Platform.h"
#include "core/shell/ProcedureLocations.h"
#include "core/shell/ReportSteps.h"

namespace quorvid {

namespace {

#ifdef Q_OS_WIN
// The Windows path limit, kept so that the walk finds the same folders there.
constexpr qsizetype kMaxPath = 260;
#else
// No such limit here: a path too long for the system fails the walk's own tests.
constexpr qsizetype kMaxPath = std::numeric_limits<qsizetype>::max();
#endif
constexpr int kHiddenSystemFolder = attribute::kHidden | attribute::kSystem | attribute::kDirectory;
constexpr int kHiddenSystemReparseFolder = kHiddenSystemFolder | attribute::kReparsePoint;

}  // namespace

bool IsFolder(const QString& path) {
    try {
        return (FileSystemObject().Attributes(path) & attribute::kDirectory) != 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool IsWalkableFolder(int attributes, bool isRootFolder) {
    if (attributes != kHiddenSystemFolder && attributes != kHiddenSystemReparseFolder) {
        return true;
    }
    return isRootFolder;
}

bool FolderWalk::IsWalkable(const QString& folder) const {
    const int attributes = fileSystem_.Attributes(folder);
    // The root test reads the mount table, so it is asked only when it matters.
    return IsWalkableFolder(
        attributes, attributes == kHiddenSystemFolder || attributes == kHiddenSystemReparseFolder
                        ? fileSystem_.IsRootFolder(folder)
                        : false);
}

bool FolderWalk::Remember(const QString& folder) {
    struct stat info {};
    if (stat(QFile::encodeName(folder).constData(), &info) != 0) {
        return true;  // unidentifiable: the walk's own tests decide about it
    }
    return queued_.insert({info.st_dev, info.st_ino}).second;
}

void FolderWalk::GetSubDirectories2016(FolderQueue& queue, bool recurse) {
    for (const QString& folder : queue) {
        Remember(folder);
    }
    Walk(queue, recurse);
}

void FolderWalk::Walk(FolderQueue& queue, bool recurse) {
    ReportingProcedure report(*platform_.dialogs,
                              QString::fromLatin1(location::kGetSubDirectories2016));
    EventPump& events = *platform_.events;
    FolderQueue found;
    bool listingBegun = false;

    // Once a pass has begun listing, failures of its tests are silent and skip the folder.
    const auto passTest = [&](int number, auto&& condition) {
        if (!listingBegun) {
            return report.Test(number, condition);
        }
        try {
            return static_cast<bool>(condition());
        } catch (const std::exception&) {
            return false;
        }
    };

    for (size_t i = 0; i < queue.size(); ++i) {
        const QString folder = queue[i];
        if (!passTest(step::folderWalk::kTestFolder, [&] {
                return IsFolder(folder) && folder.size() < kMaxPath && IsWalkable(folder);
            })) {
            continue;
        }
        listingBegun = true;
        try {
            events.DoEvents();
            for (const FolderEntry& entry : fileSystem_.SubFolders(folder)) {
                events.DoEvents();
                if (entry.name.size() >= kMaxPath || HasUnsafeCharacters(entry) ||
                    entry.name == QLatin1String(".") || entry.name == QLatin1String("..")) {
                    continue;
                }
                const QString subfolder = folder + entry.name + QDir::separator();
                if (Remember(subfolder)) {
                    found.push_back(subfolder);
                }
            }
        } catch (const FileSystemError& failure) {
            if (failure.code() == FileSystemError::kPermissionDenied ||
                failure.code() == FileSystemError::kPathNotFound) {
                const auto first = std::find(queue.begin(), queue.end(), folder);
                if (first != queue.end()) {
                    if (static_cast<size_t>(first - queue.begin()) <= i) {
                        --i;
                    }
                    queue.erase(first);
                }
            }
        } catch (const std::exception&) {
            // Any other failure ends the listing of this folder only.
        }
    }

    if (recurse && !found.empty()) {
        report.Step(step::folderWalk::kWalkSubfolders, [&] { Walk(found, true); });
    }

    for (const QString& folder : found) {
        if (!report.Test(step::folderWalk::kTestFound, [&] { return IsFolder(folder); })) {
            continue;
        }
        report.Step(step::folderWalk::kYield, [&] { events.DoEvents(); });
        if (report.Test(step::folderWalk::kTestWalkable, [&] { return IsWalkable(folder); })) {
            report.Step(step::folderWalk::kQueueFolder, [&] { queue.push_back(folder); });
        }
    }
}

void GetSubDirectories2016(Platform& platform, FolderQueue& queue, bool recurse) {
    FolderWalk(platform).GetSubDirectories2016(queue, recurse);
}

}  // namespace quorvid
