#pragma once

#include <QString>
#include <vector>

#include "core/shell/files/FileSystemObject.h"

namespace quorvid {

// The names a folder listing returns, indexed from 1 to UBound(). With no name
// it holds one empty element at index 0, so a loop from 1 to UBound() runs zero
// times.
class FileNameArray {
  public:
    FileNameArray() : names_(1) {}
    explicit FileNameArray(std::vector<QString> names) : names_(std::move(names)) {}

    int UBound() const { return static_cast<int>(names_.size()) - 1; }
    const QString& operator()(int index) const { return names_.at(static_cast<size_t>(index)); }

  private:
    std::vector<QString> names_;
};

// Windows file-search matching: case-insensitive, "*" any run, "?" one character,
// and "*.*" matches every name, also one without a dot.
bool MatchesWildcard(const QString& name, const QString& pattern);

// True when the name holds a control character (below 32 or 127 to 159) or "?".
bool HasUnsafeCharacters(const QString& name);
// The same, and also true for a name whose bytes are not valid text.
bool HasUnsafeCharacters(const FolderEntry& entry);

// True for a regular file that can be opened read-only. Never blocks on a fifo.
bool IsOpenableFile(const QString& path);

// The openable files of a folder whose names match the pattern, in the file
// system's order; hidden files included. A folder that cannot be read gives none.
FileNameArray ListFilesInFolder(const QString& folder, const QString& pattern);

}  // namespace quorvid
