#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Runs of the real program, and folders of media for them.
namespace quorvid {

struct Finished {
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

inline Finished RunBatch(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM), arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), process.exitStatus(), process.readAllStandardOutput(),
            process.readAllStandardError()};
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Copies of the committed media in a folder and a subfolder. The access time is
// set after the modification time and recent, so reading the files changes
// neither and every run sees the same dates.
class MediaFolder {
  public:
    MediaFolder() {
        QDir().mkpath(sub());
        const QDir media(QStringLiteral(QUORVID_TEST_MEDIA_DIR));
        for (const QString& name : media.entryList(QDir::Files)) {
            Copy(media.filePath(name), dir.filePath(name));
        }
        Copy(media.filePath(QStringLiteral("h264-aac.mp4")), sub() + QStringLiteral("/inner.mp4"));
    }
    QString root() const { return dir.path(); }
    QString sub() const { return dir.filePath(QStringLiteral("sub")); }
    void Copy(const QString& from, const QString& to) const {
        QFile::copy(from, to);
        QFile file(to);
        file.open(QIODevice::ReadWrite);
        const QDateTime now = QDateTime::currentDateTime();
        file.setFileTime(now.addSecs(-3600), QFileDevice::FileModificationTime);
        file.setFileTime(now, QFileDevice::FileAccessTime);
    }

    QTemporaryDir dir;
};

}  // namespace quorvid
