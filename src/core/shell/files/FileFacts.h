#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace quorvid {

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

// The file facts a results row holds.
class FileFacts {
  public:
    FileFacts();
    // The facts of an existing file; throws StepFailure when the path names none.
    FileItem GetFile(const QString& path) const;
    // The text after the last dot of the path's name; empty when there is none.
    QString GetExtensionName(const QString& path) const;
    // Looks up what the facts of the files in path's folder share (its mount
    // point) now, so that a process forked afterwards finds it known.
    void PrepareFolderOf(const QString& path) const;
    // Loads the descriptions of the types of these files (name and contents),
    // which are otherwise read from the MIME database at each type's first use.
    static void WarmUpTypes(const std::vector<std::pair<QString, QByteArray>>& files);

  private:
    // Reading the mount table costs more than the rest of a file's facts, so
    // each folder's mount point is looked up once per object.
    struct DriveCache;
    QString DriveOf(const QString& folder) const;
    std::shared_ptr<DriveCache> drives_;
};

}  // namespace quorvid
