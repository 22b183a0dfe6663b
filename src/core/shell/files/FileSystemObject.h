#pragma once

#include <QString>
#include <vector>

#include "core/shell/report/StepFailure.h"

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

// Folders and their entries, as the folder walk and the file listing read them.
class FileSystemObject {
  public:
    // Attribute sum of an existing path; throws FileSystemError for a missing one.
    int Attributes(const QString& path) const;
    // Every entry of a folder but "." and "..", in the file system's order.
    // Throws FileSystemError (70, 76 or 0) when the folder cannot be listed.
    std::vector<FolderEntry> ReadFolder(const QString& folder) const;
    // The direct subfolders of a folder, in the file system's order.
    std::vector<FolderEntry> SubFolders(const QString& folder) const;
    // True for the root folder of a file system (a mount point).
    bool IsRootFolder(const QString& folder) const;
};

}  // namespace quorvid
