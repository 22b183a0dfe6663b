#include "core/shell/files/FileFacts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStorageInfo>
#include <mutex>

#include "core/shell/files/RegionalDateTime.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

struct FileFacts::DriveCache {
    std::mutex mutex;
    QHash<QString, QString> rootOfFolder;
};

FileFacts::FileFacts() : drives_(std::make_shared<DriveCache>()) {}

QString FileFacts::DriveOf(const QString& folder) const {
    const std::lock_guard lock(drives_->mutex);
    auto found = drives_->rootOfFolder.constFind(folder);
    if (found == drives_->rootOfFolder.constEnd()) {
        QString root = QStorageInfo(folder).rootPath();
        // Where "/" is no mount point of its own (a chroot, a container) no
        // mount covers the folder: it lies on the root folder's file system.
        if (root.isEmpty()) {
            root = QDir::rootPath();
        }
        found = drives_->rootOfFolder.insert(folder, root);
    }
    return *found;
}

FileItem FileFacts::GetFile(const QString& path) const {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        throw StepFailure(QStringLiteral("File not found: ") + path);
    }
    FileItem item;
    item.Name = info.fileName();
    item.ShortName = item.Name;
    item.DateCreated = RegionalDateTimeText(info.birthTime());
    item.DateLastAccessed = RegionalDateTimeText(info.lastRead());
    item.DateLastModified = RegionalDateTimeText(info.lastModified());
    item.Drive = DriveOf(info.absolutePath());
    item.ParentFolder = info.absolutePath();
    item.Size = QString::number(info.size());
    item.Path = info.absoluteFilePath();
    item.ShortPath = item.Path;
    // Only a regular file is sniffed: reading a fifo or a device could block.
    const QMimeDatabase mimeTypes;
    const QMimeType type = info.isFile()
                               ? mimeTypes.mimeTypeForFile(info, QMimeDatabase::MatchDefault)
                               : mimeTypes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    item.Type = type.comment();
    return item;
}

void FileFacts::PrepareFolderOf(const QString& path) const {
    DriveOf(QFileInfo(path).absolutePath());
}

void FileFacts::WarmUpTypes(const std::vector<std::pair<QString, QByteArray>>& files) {
    const QMimeDatabase mimeTypes;
    for (const auto& [name, contents] : files) {
        mimeTypes.mimeTypeForFileNameAndData(name, contents).comment();
    }
}

QString FileFacts::GetExtensionName(const QString& path) const {
    const QString name = path.mid(path.lastIndexOf(QDir::separator()) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

}  // namespace quorvid
