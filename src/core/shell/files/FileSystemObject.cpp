#include "core/shell/files/FileSystemObject.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
#include <cstring>

namespace quorvid {

namespace {

int ErrorCodeOf(int errorNumber) {
    switch (errorNumber) {
        case EACCES:
        case EPERM:
            return FileSystemError::kPermissionDenied;
        case ENOENT:
        case ENOTDIR:
            return FileSystemError::kPathNotFound;
        default:
            return 0;
    }
}

[[noreturn]] void ThrowErrno(int errorNumber, const QString& path) {
    const int code = ErrorCodeOf(errorNumber);
    QString text;
    if (code == FileSystemError::kPermissionDenied) {
        text = QStringLiteral("Permission denied");
    } else if (code == FileSystemError::kPathNotFound) {
        text = QStringLiteral("Path not found");
    } else {
        text = QString::fromLocal8Bit(std::strerror(errorNumber));
    }
    throw FileSystemError(code, text + QStringLiteral(": ") + path);
}

// Attributes from an lstat result, and a stat of the link target for links.
int AttributesOf(const QByteArray& nativeName, const struct stat& linkStat, int dirFd,
                 const char* entryName) {
    int result = 0;
    struct stat target = linkStat;
    if (S_ISLNK(linkStat.st_mode)) {
        result |= attribute::kReparsePoint;
        const int rc = dirFd >= 0 ? fstatat(dirFd, entryName, &target, 0)
                                  : stat(nativeName.constData(), &target);
        if (rc != 0) {
            target = linkStat;  // a dangling link is a plain entry
        }
    }
    if (S_ISDIR(target.st_mode)) {
        result |= attribute::kDirectory;
    } else if (S_ISREG(target.st_mode)) {
        result |= attribute::kArchive;
    }
    const QByteArray base = nativeName.mid(nativeName.lastIndexOf('/') + 1);
    if (base.startsWith('.') && base != "." && base != "..") {
        result |= attribute::kHidden;
    }
    return result;
}

}  // namespace

int FileSystemObject::Attributes(const QString& path) const {
    const QByteArray native = QFile::encodeName(path);
    struct stat linkStat {};
    if (lstat(native.constData(), &linkStat) != 0) {
        ThrowErrno(errno, path);
    }
    return AttributesOf(native, linkStat, -1, nullptr);
}

std::vector<FolderEntry> FileSystemObject::ReadFolder(const QString& folder) const {
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = opendir(native.constData());
    if (dir == nullptr) {
        ThrowErrno(errno, folder);
    }
    std::vector<FolderEntry> entries;
    const int dirFd = dirfd(dir);
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        const QByteArray bytes(name);
        FolderEntry result;
        result.name = QFile::decodeName(bytes);
        result.validText = QFile::encodeName(result.name) == bytes;
        struct stat linkStat {};
        if (fstatat(dirFd, name, &linkStat, AT_SYMLINK_NOFOLLOW) == 0) {
            result.attributes = AttributesOf(bytes, linkStat, dirFd, name);
        }
        entries.push_back(std::move(result));
        errno = 0;
    }
    const int readError = errno;
    closedir(dir);
    if (readError != 0) {
        ThrowErrno(readError, folder);
    }
    return entries;
}

std::vector<FolderEntry> FileSystemObject::SubFolders(const QString& folder) const {
    std::vector<FolderEntry> folders;
    for (FolderEntry& entry : ReadFolder(folder)) {
        if (entry.isDirectory()) {
            folders.push_back(std::move(entry));
        }
    }
    return folders;
}

bool FileSystemObject::IsRootFolder(const QString& folder) const {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) {
        return false;
    }
    // "/" is a root also where it is no mount point of its own (a chroot).
    return canonical == QDir::rootPath() || canonical == QStorageInfo(canonical).rootPath();
}

}  // namespace quorvid
