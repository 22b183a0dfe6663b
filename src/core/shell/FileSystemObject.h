#pragma once

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QString>
#include <QStringEncoder>
#include <memory>
#include <vector>

#include "core/shell/StepFailure.h"

namespace quorvid {

// Attribute bits as the folder walk and the file listing test them.
namespace attribute {
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
inline constexpr int kArchive = 32;
inline constexpr int kReparsePoint = 1024;
}  // namespace attribute

// A failed file-system call with its error number: 70 permission denied, 76 path
// not found, anything else 0.
class FileSystemError : public StepFailure {
  public:
    static constexpr int kPermissionDenied = 70;
    static constexpr int kPathNotFound = 76;

    FileSystemError(int code, const QString& description) : StepFailure(description), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// One entry of a folder as the folder reader returns it.
struct FolderEntry {
    QString name;
    // False when the name's bytes are not valid text in the file-name encoding;
    // such a name must never be used to build a path.
    bool validText = true;
    int attributes = 0;
    bool isDirectory() const { return (attributes & attribute::kDirectory) != 0; }
};

// The facts of one file, each converted to text when the item is taken.
struct FileItem {
    QString Name;
    QString ShortName;
    QString DateCreated;
    QString DateLastAccessed;
    QString DateLastModified;
    QString Drive;
    QString ParentFolder;
    QString Size;
    QString Path;
    QString ShortPath;
    QString Type;
};

// One line of a text results file: the text in the system encoding, then CR LF.
QByteArray TextFileLine(QStringEncoder& encoder, const QString& text);

// A text file being written: lines end in CR LF, text in the system encoding,
// no byte-order mark. The file at the path is replaced only when Close succeeds,
// so a failed write leaves what was there, except where the path's folder admits
// no new file: an existing file there is written in place. After a failed write
// the later lines are dropped without a word (the failure was reported once) and
// Close fails. Only a regular file (or nothing) at the path is ever written.
class TextStream {
  public:
    explicit TextStream(const QString& path);
    void WriteLine(const QString& text);
    // Drops what was written: Close then fails and leaves the path as it was
    // (in place, it holds what was written so far).
    void Discard();
    void Close();
    // False when the file is written in place, so that a failed save leaves
    // only part of the new text instead of the old file.
    bool keepsOldFileOnFailure() const { return file_ == &safeFile_; }

  private:
    QSaveFile safeFile_;
    QFile inPlaceFile_;
    QFileDevice* file_ = nullptr;
    QStringEncoder encoder_{QStringConverter::System};
    bool closed_ = false;
    bool writeFailed_ = false;
    bool discarded_ = false;
};

// Dates as the locale writes them: short date, a blank, time with seconds.
QString RegionalDateTimeText(const QDateTime& moment, const QLocale& locale = QLocale::system());

// The file-system services the folder walk, the file facts and the text export use.
class FileSystemObject {
  public:
    FileSystemObject();
    // Attribute sum of an existing path; throws FileSystemError for a missing one.
    int Attributes(const QString& path) const;
    // Every entry of a folder but "." and "..", in the file system's order.
    // Throws FileSystemError (70, 76 or 0) when the folder cannot be listed.
    std::vector<FolderEntry> ReadFolder(const QString& folder) const;
    // The direct subfolders of a folder, in the file system's order.
    std::vector<FolderEntry> SubFolders(const QString& folder) const;
    // True for the root folder of a file system (a mount point).
    bool IsRootFolder(const QString& folder) const;
    // The facts of an existing file; throws StepFailure when the path names none.
    FileItem GetFile(const QString& path) const;
    // The text after the last dot of the path's name; empty when there is none.
    QString GetExtensionName(const QString& path) const;
    // Starts a text file at path; an existing file is replaced when it is closed.
    std::unique_ptr<TextStream> CreateTextFile(const QString& path) const;

  private:
    // Reading the mount table costs more than the rest of a file's facts, so
    // each folder's mount point is looked up once per object.
    struct DriveCache;
    QString DriveOf(const QString& folder) const;
    std::shared_ptr<DriveCache> drives_;
};

}  // namespace quorvid
