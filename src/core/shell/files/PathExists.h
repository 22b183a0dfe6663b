#pragma once

#include <QString>

namespace quorvid {

// True when the path's modification time can be read (files and folders alike).
bool PathExists(const QString& path);

}  // namespace quorvid
