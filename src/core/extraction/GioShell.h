#pragma once

#include <QByteArray>
#include <utility>
#include <vector>

#include "core/extraction/Shell.h"

namespace quorvid {

// The shell details that GIO and the freedesktop.org extended attributes give.
// The header slots are the same for every folder.
class GioShell : public Shell {
  public:
    std::unique_ptr<ShellFolder> Namespace(const QString& folder) override;
    // Loads what GIO loads on first use, short of whether the file is hidden.
    static void WarmUp(const QString& path);
    // Loads the descriptions of the types of these files (name and contents).
    static void WarmUpTypes(const std::vector<std::pair<QString, QByteArray>>& files);
    // Reads what the details of the files in path's folder share (which of
    // them the folder hides) now, so that a process forked afterwards finds it
    // known.
    static void PrepareFolderOf(const QString& path);
};

// The header of slot k, empty for the slots without one.
QString GioDetailHeader(int slot);
// True when a row's detail column can carry this header: one of the slots'
// headers but "Name", after the detail prefix.
bool IsGioDetailColumn(const QString& header);

// A mode as ls shows it, e.g. "-rw-r--r--" or "drwxrwxrwt".
QString PermissionsText(unsigned int mode);

}  // namespace quorvid
