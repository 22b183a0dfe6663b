#include "core/input/FileDrop.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

#include "core/input/AddFolder.h"
#include "core/input/FolderWalk.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/files/PathExists.h"
#include "core/shell/platform/Platform.h"

namespace quorvid {

bool OffersFileList(const QMimeData& data) {
    return !DroppedPaths(data).isEmpty();
}

QStringList DroppedPaths(const QMimeData& data) {
    QStringList paths;
    if (!data.hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            paths << QDir::toNativeSeparators(url.toLocalFile());
        }
    }
    return paths;
}

void AddDroppedPaths(CommandContext& context, const QStringList& paths) {
    // The drop has no error report: a file that fails its tests is left out.
    const auto skipFailures = [](int, const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception&) {
        }
    };
    for (const QString& path : paths) {
        if (IsFolder(path)) {
            FolderQueue queue{path + QDir::separator()};
            GetSubDirectories2016(*context.platform.events,
                                  WalkErrorReport(*context.platform.dialogs), queue, true);
            AppendQueuedFiles(*context.platform.events, queue, QStringLiteral("*.*"), skipFailures,
                              [&](const QString& file) { context.inputList.AddItem(file); });
        } else if (PathExists(path)) {
            context.inputList.AddItem(path);
        }
    }
}

}  // namespace quorvid
