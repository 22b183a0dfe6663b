#pragma once

// A program folder whose helper reads with a reader per folder: a script in the
// helper's place that starts the real helper with the benchmarks' option, so
// that the window and quorvid-batch, which start the helper beside them, can be
// timed against the safe default unchanged.

#include <QDir>
#include <QFile>

#include "core/pool/ExtractorPoolOptions.h"
#include "core/pool/ExtractorProtocol.h"

namespace bench {

// Puts the script into folder, in the place of any helper there.
inline bool WriteReadersPerFolderHelper(const QString& folder, const QString& realHelper) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(quorvid::kExtractorProgramName));
    QFile::remove(path);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly)) {
        return false;
    }
    script.write("#!/bin/sh\nexec '" + QFile::encodeName(realHelper) + "' \"$@\" " +
                 quorvid::protocol::kReadersPerFolderOption + "\n");
    script.close();
    return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace bench
