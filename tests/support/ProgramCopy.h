#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

namespace quorvid::test {

// quorvid-batch and its helper copied into a folder of their own, beside a
// stand-in for the metadata library (or beside none, when the system's library
// is wanted). The test program names the programs to copy.
class ProgramCopy {
  public:
    explicit ProgramCopy(const QString& library, bool withHelper = true) {
        Copy(QStringLiteral(QUORVID_BATCH_PROGRAM));
        if (withHelper) {
            Copy(QStringLiteral(QUORVID_EXTRACTOR));
        }
        if (!library.isEmpty()) {
            QFile::copy(library, dir.filePath(QStringLiteral("libmediainfo.so.0")));
        }
    }
    QString batch() const { return dir.filePath(QStringLiteral("quorvid-batch")); }
    QString extractor() const { return dir.filePath(QStringLiteral("quorvid-extractor")); }

    // Processes started from this copy's programs that are still alive.
    int AliveProcesses() const {
        int alive = 0;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const QString exe = QFileInfo(QStringLiteral("/proc/") + entry + QStringLiteral("/exe"))
                                    .symLinkTarget();
            if (exe.startsWith(dir.path() + QLatin1Char('/'))) {
                QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
                stat.open(QIODevice::ReadOnly);
                const QByteArray line = stat.readAll();
                alive += line.mid(line.lastIndexOf(')') + 2, 1) != "Z" ? 1 : 0;
            }
        }
        return alive;
    }
    bool NoneAliveWithin(int milliseconds) const {
        QElapsedTimer waited;
        waited.start();
        while (AliveProcesses() > 0 && waited.elapsed() < milliseconds) {
            QThread::msleep(20);
        }
        return AliveProcesses() == 0;
    }

    QTemporaryDir dir;

  private:
    void Copy(const QString& program) {
        const QString copy = dir.filePath(QFileInfo(program).fileName());
        QFile::copy(program, copy);
        QFile::setPermissions(copy, QFile::permissions(program));
    }
};

}  // namespace quorvid::test
