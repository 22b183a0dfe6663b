#include "core/shell/files/PathExists.h"

#include <sys/stat.h>

#include <QFile>

namespace quorvid {

bool PathExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace quorvid
