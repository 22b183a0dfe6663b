#include <gtest/gtest.h>
#include <signal.h>

#include <QThread>

#include "batch/BatchProgram.h"
#include "support/ExportTestSupport.h"
#include "support/Unprivileged.h"

namespace quorvid {
namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The file list and the rows that wait for the last row (CSV, text and
// workbooks) are held in scratch files without a name, beside the output or
// in TMPDIR for standard output.
TEST(ScratchFileTest, WaitingRowsHaveNoNameAndGoWithTheRunHoweverItEnds) {
    QTemporaryDir media;
    CopyMedia(QStringLiteral("h264-aac.mp4"), media.path(), 1000);
    QTemporaryDir temporary;
    QProcess process;
    WithTemporaryFolder(temporary.path())(process);
    process.start(
        QStringLiteral(QUORVID_BATCH_PROGRAM),
        {QStringLiteral("--format=csv"), QStringLiteral("-j"), QStringLiteral("1"), media.path()});
    ASSERT_TRUE(process.waitForStarted());
    QStringList scratch;
    for (int wait = 0; wait < 600 && scratch.size() < 2; ++wait) {
        QThread::msleep(50);
        scratch = OpenFilesIn(process.processId(), temporary.path());
    }
    ASSERT_EQ(scratch.size(), 2) << scratch.join(u' ').toStdString();
    for (const QString& file : scratch) {
        EXPECT_TRUE(file.endsWith(QStringLiteral(" (deleted)"))) << file.toStdString();
    }
    EXPECT_EQ(Entries(temporary.path()), QStringList());
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_EQ(Entries(temporary.path()), QStringList());

    const QString good = media.filePath(QStringLiteral("clip0.mp4"));
    const QString gone = media.filePath(QStringLiteral("gone.mp4"));
    for (const QStringList& arguments : {QStringList{good}, QStringList{good, gone}}) {
        const Finished run = RunBatch(QStringList{QStringLiteral("--format=csv")} + arguments, {},
                                      WithTemporaryFolder(temporary.path()));
        EXPECT_EQ(run.exitCode, arguments.size() - 1);
        EXPECT_EQ(run.out.count("\r\n"), 2);
        EXPECT_EQ(Entries(temporary.path()), QStringList());
    }
}

TEST(ScratchFileTest, AFullDiskWhileRowsWaitKeepsTheOldFileAndExitsWith2) {
    QTemporaryDir media;
    CopyMedia(QStringLiteral("h264-aac.mp4"), media.path(), 40);
    QTemporaryDir target;
    const QString output = target.filePath(QStringLiteral("rows.txt"));
    test::WriteAll(output, "old rows\n");
    // The 40 file names fit in the limit, their rows do not.
    const Finished run =
        RunBatch({QStringLiteral("-q"), QStringLiteral("-o"), output, media.path()}, {},
                 WithFileSizeLimit(16 * 1024));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "quorvid-batch: the output was not written (the scratch file in " +
                           QFile::encodeName(target.path()) +
                           " could not be written: File too large)\n");
    EXPECT_EQ(ReadAll(output), "old rows\n");
    EXPECT_EQ(Entries(target.path()), QStringList{QStringLiteral("rows.txt")});
}

TEST(ScratchFileTest, AFolderThatAdmitsNoScratchFileIsRefusedBeforeAnyFileIsRead) {
    const QString good = QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4");
    QTemporaryDir temporary;
    const QString missing = temporary.filePath(QStringLiteral("missing"));
    const Finished run =
        RunBatch({QStringLiteral("--format=json"), good}, {}, WithTemporaryFolder(missing));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, "quorvid-batch: " + QFile::encodeName(missing) +
                           ": no scratch file can be made in this folder (No such file or "
                           "directory); TMPDIR may name another\n");

    if (!test::Unprivileged::MayAccess(QUORVID_BATCH_PROGRAM, X_OK) ||
        !test::Unprivileged::MayAccess(QFile::encodeName(good).constData(), R_OK)) {
        GTEST_SKIP() << "the unprivileged user cannot reach the program or the media here, so "
                        "a folder that admits no scratch file cannot be tried";
    }
    QFile::setPermissions(temporary.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                QFile::ExeGroup | QFile::ReadOther |
                                                QFile::ExeOther);
    const Finished unwritable =
        RunBatch({QStringLiteral("--format=json"), good}, {}, [&](QProcess& process) {
            WithTemporaryFolder(temporary.path())(process);
            process.setChildProcessModifier(test::Unprivileged::DropRootInChild);
        });
    QFile::setPermissions(temporary.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(unwritable.exitCode, 2) << unwritable.err.constData();
    EXPECT_TRUE(unwritable.out.isEmpty());
    EXPECT_TRUE(unwritable.err.contains(QFile::encodeName(temporary.path()) +
                                        ": no scratch file can be made in this folder"))
        << unwritable.err.constData();
}

}  // namespace
}  // namespace quorvid
