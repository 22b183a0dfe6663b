#pragma once

// The slow file system (the slow-storage program) mounted over a folder, for
// the tests and benchmarks of reading from slow storage. Needs Qt Core only.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <map>

#ifndef QUORVID_SLOW_STORAGE
#define QUORVID_SLOW_STORAGE ""
#endif

// In a GoogleTest test: skipped, saying why, where no slow storage can be
// mounted.
#define SKIP_WITHOUT_FUSE()                                    \
    do {                                                       \
        QString whyNot;                                        \
        if (!quorvid::test::SlowStorage::Available(&whyNot)) { \
            GTEST_SKIP() << whyNot.toStdString();              \
        }                                                      \
    } while (false)

namespace quorvid::test {

class SlowStorage {
  public:
    // What the program counted: requests by kind ("lookup", "read", ...),
    // "requests", "bytes", "seeks", "read_seeks", "work_ms", ...
    using Counters = std::map<QString, qint64>;

    // The storage models, as the program's options.
    static QStringList Share(int delayMs) {
        return {QStringLiteral("--model"), QStringLiteral("share"), QStringLiteral("--delay-ms"),
                QString::number(delayMs)};
    }
    static QStringList Disk(int seekMs, int megabytesPerSecond) {
        return {QStringLiteral("--model"),    QStringLiteral("disk"),
                QStringLiteral("--seek-ms"),  QString::number(seekMs),
                QStringLiteral("--mb-per-s"), QString::number(megabytesPerSecond)};
    }

    // Whether a slow storage can be mounted here: a trial mount, once; whyNot
    // gets the reason when not.
    static bool Available(QString* whyNot = nullptr) {
        static const QString reason = CheckAvailable();
        if (whyNot != nullptr) {
            *whyNot = reason;
        }
        return reason.isEmpty();
    }

    // Mounts source on a new temporary folder with the model's options (more
    // options may follow them, as --stall-after N); waits until it is mounted.
    SlowStorage(const QString& source, const QStringList& options) {
        mountPoint_ = QFileInfo(work_.path()).canonicalFilePath() + QStringLiteral("/mount");
        statsFile_ = work_.filePath(QStringLiteral("stats"));
        QDir().mkpath(mountPoint_);
        // A file, not a pipe: the program may say much (--debug), and nobody reads
        // its standard error while it serves.
        process_.setStandardErrorFile(work_.filePath(QStringLiteral("errors")));
        process_.start(QStringLiteral(QUORVID_SLOW_STORAGE),
                       options + QStringList{QStringLiteral("--stats"), statsFile_,
                                             QFileInfo(source).absoluteFilePath(), mountPoint_});
        QElapsedTimer waited;
        waited.start();
        while (!MountedAt(mountPoint_)) {
            if (process_.waitForFinished(10) || process_.state() == QProcess::NotRunning ||
                waited.elapsed() > 10000) {
                QFile errors(work_.filePath(QStringLiteral("errors")));
                errors.open(QIODevice::ReadOnly);
                error_ = QString::fromLocal8Bit(errors.readAll()).trimmed();
                if (error_.isEmpty()) {
                    error_ = QStringLiteral("slow-storage did not mount ") + mountPoint_;
                }
                Unmount();
                return;
            }
        }
        mounted_ = true;
    }
    ~SlowStorage() {
        Unmount();
        // Never walk a mount point that could still answer slowly, or not at all.
        work_.setAutoRemove(!MountedAt(mountPoint_));
    }
    SlowStorage(const SlowStorage&) = delete;
    SlowStorage& operator=(const SlowStorage&) = delete;

    bool mounted() const { return mounted_; }
    const QString& error() const { return error_; }
    const QString& path() const { return mountPoint_; }
    QString filePath(const QString& relative) const { return mountPoint_ + u'/' + relative; }
    qint64 pid() const { return process_.processId(); }

    // The counters so far, which the program writes on SIGUSR1.
    Counters CountersNow() {
        if (process_.state() != QProcess::Running) {
            return ReadCounters();
        }
        QFile::remove(statsFile_);
        ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(statsFile_) && waited.elapsed() < 5000) {
            QThread::msleep(5);
        }
        return ReadCounters();
    }

    // Unmounts (lazily when busy: a reader that hangs in a stalled request),
    // ends the program and returns what it counted.
    Counters Unmount() {
        if (process_.state() != QProcess::NotRunning) {
            const bool busy = !Fusermount({QStringLiteral("-u"), mountPoint_});
            if (busy) {
                Fusermount({QStringLiteral("-u"), QStringLiteral("-z"), mountPoint_});
            }
            // A lazy unmount leaves the program serving whoever still waits on it.
            if (!process_.waitForFinished(busy ? 1000 : 10000)) {
                process_.terminate();
                if (!process_.waitForFinished(10000)) {
                    process_.kill();
                    process_.waitForFinished(-1);
                }
            }
        }
        mounted_ = false;
        return ReadCounters();
    }

  private:
    static QString CheckAvailable() {
        const QString program = QStringLiteral(QUORVID_SLOW_STORAGE);
        if (program.isEmpty()) {
            return QStringLiteral("slow-storage was not built: no libfuse3-dev when configured");
        }
        const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fuse < 0) {
            return QStringLiteral("cannot open /dev/fuse: ") +
                   QString::fromLocal8Bit(strerror(errno));
        }
        ::close(fuse);
        if (QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty()) {
            return QStringLiteral("no fusermount3 (package fuse3)");
        }
        QTemporaryDir empty;
        SlowStorage trial(empty.path(), Share(0));
        return trial.mounted() ? QString() : QStringLiteral("cannot mount: ") + trial.error();
    }

    // Whether mountinfo lists a slow-storage mount at path (without asking it).
    static bool MountedAt(const QString& path) {
        QFile mounts(QStringLiteral("/proc/self/mountinfo"));
        if (!mounts.open(QIODevice::ReadOnly)) {
            return false;
        }
        // Blanks and backslashes in a mount point are written as octal escapes.
        QByteArray escaped = QFile::encodeName(path);
        escaped.replace('\\', "\\134").replace(' ', "\\040").replace('\t', "\\011");
        escaped.replace('\n', "\\012");
        for (const QByteArray& line : mounts.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 4 && fields[4] == escaped &&
                line.contains(" - fuse.slow-storage ")) {
                return true;
            }
        }
        return false;
    }

    static bool Fusermount(const QStringList& arguments) {
        QProcess fusermount;
        fusermount.setStandardOutputFile(QProcess::nullDevice());
        fusermount.setStandardErrorFile(QProcess::nullDevice());
        fusermount.start(QStringLiteral("fusermount3"), arguments);
        return fusermount.waitForFinished(30000) &&
               fusermount.exitStatus() == QProcess::NormalExit && fusermount.exitCode() == 0;
    }

    Counters ReadCounters() const {
        QFile file(statsFile_);
        Counters counters;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& pair : file.readAll().simplified().split(' ')) {
                const qsizetype equals = pair.indexOf('=');
                if (equals > 0) {
                    counters[QString::fromLatin1(pair.left(equals))] =
                        pair.mid(equals + 1).toLongLong();
                }
            }
        }
        return counters;
    }

    QTemporaryDir work_;
    QString mountPoint_;
    QString statsFile_;
    QProcess process_;
    bool mounted_ = false;
    QString error_;
};

}  // namespace quorvid::test
