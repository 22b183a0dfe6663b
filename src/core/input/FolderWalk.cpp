#include "core/input/FolderWalk.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <algorithm>

#include "core/input/FileListing.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

constexpr int kHiddenSystemFolder = attribute::kHidden | attribute::kSystem | attribute::kDirectory;
constexpr int kHiddenSystemReparseFolder = kHiddenSystemFolder | attribute::kReparsePoint;

}  // namespace

WalkReportOpener WalkErrorReport(Dialogs& dialogs) {
    return [&dialogs] {
        return std::make_unique<ReportingProcedure>(
            dialogs, QString::fromLatin1(location::kGetSubDirectories2016));
    };
}

WalkReportOpener WalkFailuresTo(ReportingProcedure::FailureSink sink) {
    return [sink = std::move(sink)] { return std::make_unique<ReportingProcedure>(sink); };
}

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
    const std::unique_ptr<ReportingProcedure> opened = openReport_();
    ReportingProcedure& report = *opened;
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
        if (!passTest(step::folderWalk::kTestFolder,
                      [&] { return IsFolder(folder) && IsWalkable(folder); })) {
            continue;
        }
        listingBegun = true;
        try {
            events_.DoEvents();
            for (const FolderEntry& entry : fileSystem_.SubFolders(folder)) {
                events_.DoEvents();
                if (HasUnsafeCharacters(entry)) {
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
        report.Step(step::folderWalk::kYield, [&] { events_.DoEvents(); });
        if (report.Test(step::folderWalk::kTestWalkable, [&] { return IsWalkable(folder); })) {
            report.Step(step::folderWalk::kQueueFolder, [&] { queue.push_back(folder); });
        }
    }
}

void GetSubDirectories2016(EventPump& events, const WalkReportOpener& openReport,
                           FolderQueue& queue, bool recurse) {
    FolderWalk(events, openReport).GetSubDirectories2016(queue, recurse);
}

}  // namespace quorvid
