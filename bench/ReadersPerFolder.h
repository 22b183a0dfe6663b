#pragma once

// A program folder whose helper reads with a reader per folder: a script in the
// helper's place that starts the real helper with the benchmarks' option, so
// that the window and quorvid-batch, which start the helper beside them, can be
// timed against the safe default unchanged.

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// A copy of program in folder beside such a helper, which starts the helper
// that lies beside program; empty when it cannot be made.
inline QString CopyReadingPerFolder(const QString& program, const QString& folder) {
    const QString copy = QDir(folder).filePath(QFileInfo(program).fileName());
    const QString helper = QDir(QFileInfo(program).path())
                               .filePath(QString::fromLatin1(quorvid::kExtractorProgramName));
    const bool made = QDir().mkpath(folder) && QFile::copy(program, copy) &&
                      QFile::setPermissions(copy, QFile::permissions(program)) &&
                      WriteReadersPerFolderHelper(folder, helper);
    return made ? copy : QString();
}

}  // namespace bench
