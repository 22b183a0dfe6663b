#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <vector>

#include "core/commands/ExtractionRun.h"
#include "core/input/AddFolder.h"
#include "core/input/FolderWalk.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "support/TestPlatform.h"

// Runs of the real program, and folders of media for them.
namespace quorvid {

struct Finished {
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

// Readies the program's process before it starts: its environment, its limits.
using ProcessSetup = std::function<void(QProcess&)>;

inline Finished RunBatch(const QStringList& arguments, const QByteArray& input = {},
                         const ProcessSetup& setup = {}) {
    QProcess process;
    if (setup) {
        setup(process);
    }
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM), arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), process.exitStatus(), process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// The program with TMPDIR set to folder.
inline ProcessSetup WithTemporaryFolder(const QString& folder) {
    return [folder](QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), folder);
        process.setProcessEnvironment(environment);
    };
}

// The program with the size of the files it writes limited to bytes: a stand-in
// for a full disk, which fails the write that goes past it.
inline ProcessSetup WithFileSizeLimit(rlim_t bytes) {
    return [bytes](QProcess& process) {
        process.setChildProcessModifier([bytes] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        });
    };
}

// Copies of a committed media file in folder: clip0.EXT, clip1.EXT, ...
inline void CopyMedia(const QString& name, const QString& folder, int count) {
    const QDir media(QStringLiteral(QUORVID_TEST_MEDIA_DIR));
    const QString extension = QFileInfo(name).suffix();
    for (int i = 0; i < count; ++i) {
        QFile::copy(media.filePath(name),
                    QDir(folder).filePath(QStringLiteral("clip%1.%2").arg(i).arg(extension)));
    }
}

// The pids of the processes whose parent is pid.
inline std::vector<qint64> ChildrenOf(qint64 pid) {
    std::vector<qint64> children;
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString entry = processes.next();
        bool isProcess = false;
        QFileInfo(entry).fileName().toLongLong(&isProcess);
        if (!isProcess) {
            continue;
        }
        QFile statFile(entry + QStringLiteral("/stat"));
        statFile.open(QIODevice::ReadOnly);
        const QByteArray stat = statFile.readAll();
        // pid (name) state ppid ...: the name may hold blanks, the last ")" ends it.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid) {
            children.push_back(QFileInfo(entry).fileName().toLongLong());
        }
    }
    return children;
}

// The files a process holds open whose path starts with folder, as /proc
// shows them: an unnamed one ends in " (deleted)".
inline QStringList OpenFilesIn(qint64 pid, const QString& folder) {
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& descriptor : descriptors.entryInfoList(QDir::Files | QDir::System)) {
        const QString target = descriptor.symLinkTarget();
        if (target.startsWith(folder + u'/')) {
            open << target;
        }
    }
    return open;
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

// What the window shows for a folder: "Add All Video File/s In Folder" and
// "Start Extracting Metadata" over it, with its helpers.
class WindowRun {
  public:
    explicit WindowRun(const QString& folder) {
        ResultsGrid(resultsGrid).CreateResultColumns();
        FolderQueue queue{folder + QDir::separator()};
        GetSubDirectories2016(test.events, WalkErrorReport(test.dialogs), queue, true);
        AppendQueuedFiles(
            test.events, queue, QStringLiteral("*.*"),
            [](int, const std::function<void()>& action) { action(); },
            [&](const QString& path) { inputList.AddItem(path); });
        const QString startFolder = QDir::currentPath();
        ExtractionRun(context).PushButton2_Click();
        QDir::setCurrent(startFolder);
    }

    test::TestPlatform test;
    ListViewModel inputList{false};
    ListViewModel resultsGrid{true};
    ProgressState progress;
    MousePointerState pointer;
    CommandContext context{test.platform, inputList, resultsGrid, progress, pointer};
};

}  // namespace quorvid
