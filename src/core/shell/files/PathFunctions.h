#pragma once

#include <QString>

namespace quorvid {

// Path text rules on the native separator. None of them touches the file system.

// Collapses doubled separators of a joined path: inside it two become one and
// three become two; a leading run becomes the one root separator.
QString RemoveDoubleBackslashes(const QString& path);

// The text after the last separator; the whole text when there is none.
QString FileNameFromPath(const QString& path);

// The text up to and including the last separator; empty when there is none.
QString FolderFromPath(const QString& path);

}  // namespace quorvid
