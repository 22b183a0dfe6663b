#include "core/shell/FileSystemObject.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStringConverter>
#include <cerrno>
#include <cstring>
#include <mutex>

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

// The end of a quoted literal that starts at from ('' inside stands for a quote).
qsizetype QuotedLiteralEnd(const QString& format, qsizetype from) {
    qsizetype quote = format.indexOf(QLatin1Char('\''), from + 1);
    while (quote >= 0 && quote + 1 < format.size() && format[quote + 1] == QLatin1Char('\'')) {
        quote = format.indexOf(QLatin1Char('\''), quote + 2);
    }
    return quote < 0 ? format.size() : quote + 1;
}

// The long time form with seconds, without its time zone ("t"): the cell wants
// the clock time only. What merely framed the zone goes with it: blanks, a
// comma, brackets left empty. Quoted literals stay as they are.
QString TimeFormatWithSeconds(const QLocale& locale) {
    static const QRegularExpression emptyBrackets(QStringLiteral("[(\\[（［]\\s*[)\\]）］]"));
    static const QRegularExpression framing(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    qsizetype from = 0;
    while (from < format.size()) {
        if (format[from] == QLatin1Char('\'')) {
            const qsizetype end = QuotedLiteralEnd(format, from);
            result += QStringView(format).sliced(from, end - from);
            from = end;
            continue;
        }
        qsizetype end = format.indexOf(QLatin1Char('\''), from);
        end = end < 0 ? format.size() : end;
        QString fields = format.sliced(from, end - from);
        fields.remove(QLatin1Char('t'));
        fields.remove(emptyBrackets);
        // Qt has no flexible day period ("B", as in zh_TW); AM/PM stands in for it.
        fields.replace(QLatin1Char('B'), QLatin1String("AP"));
        result += fields;
        from = end;
    }
    return result.remove(framing);
}

}  // namespace

QString RegionalDateTimeText(const QDateTime& moment, const QLocale& locale) {
    if (!moment.isValid()) {
        return {};
    }
    const QDateTime local = moment.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), TimeFormatWithSeconds(locale));
}

QByteArray TextFileLine(QStringEncoder& encoder, const QString& text) {
    QByteArray bytes = encoder.encode(text);
    bytes.append("\r\n", 2);
    return bytes;
}

TextStream::TextStream(const QString& path) : safeFile_(path), inPlaceFile_(path) {
    struct stat status {};
    const bool exists = stat(QFile::encodeName(path).constData(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        throw StepFailure(QStringLiteral("Path is a folder: ") + path);
    }
    // Replacing a device, a pipe or a socket with a file would break what uses it.
    if (exists && !S_ISREG(status.st_mode)) {
        throw StepFailure(QStringLiteral("The path is not a regular file (a device, a pipe or a "
                                         "socket), so it is left untouched: ") +
                          path);
    }
    if (safeFile_.open(QIODevice::WriteOnly)) {
        file_ = &safeFile_;
        return;
    }
    // A folder that admits no new file has no room for the temporary copy, yet
    // the file there may be writable.
    if (exists && inPlaceFile_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file_ = &inPlaceFile_;
        return;
    }
    throw StepFailure(safeFile_.errorString() + QStringLiteral(": ") + path);
}

void TextStream::WriteLine(const QString& text) {
    if (closed_) {
        throw StepFailure(QStringLiteral("The file is closed"));
    }
    if (writeFailed_) {
        return;
    }
    const QByteArray bytes = TextFileLine(encoder_, text);
    if (file_->write(bytes) != bytes.size()) {
        writeFailed_ = true;
        throw StepFailure(QStringLiteral("The file could not be written: ") + file_->errorString());
    }
}

void TextStream::Discard() {
    discarded_ = true;
    if (file_ == &safeFile_) {
        safeFile_.cancelWriting();
    }
}

void TextStream::Close() {
    if (closed_) {
        throw StepFailure(QStringLiteral("The file is closed"));
    }
    closed_ = true;
    if (file_ == &safeFile_) {
        if (!safeFile_.commit()) {
            throw StepFailure(QStringLiteral("The file was not saved (anything already at ") +
                              QDir::toNativeSeparators(safeFile_.fileName()) +
                              QStringLiteral(" is left as it was): ") + safeFile_.errorString());
        }
        return;
    }
    const bool flushed = inPlaceFile_.flush();
    inPlaceFile_.close();
    if (!flushed || writeFailed_ || discarded_) {
        throw StepFailure(QStringLiteral("The file was not saved completely: ") +
                          QDir::toNativeSeparators(safeFile_.fileName()) +
                          QStringLiteral(" holds only part of the results"));
    }
}

struct FileSystemObject::DriveCache {
    std::mutex mutex;
    QHash<QString, QString> rootOfFolder;
};

FileSystemObject::FileSystemObject() : drives_(std::make_shared<DriveCache>()) {}

QString FileSystemObject::DriveOf(const QString& folder) const {
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

FileItem FileSystemObject::GetFile(const QString& path) const {
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

QString FileSystemObject::GetExtensionName(const QString& path) const {
    const QString name = path.mid(path.lastIndexOf(QDir::separator()) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

std::unique_ptr<TextStream> FileSystemObject::CreateTextFile(const QString& path) const {
    return std::make_unique<TextStream>(path);
}

}  // namespace quorvid
