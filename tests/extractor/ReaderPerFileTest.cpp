// quorvid-batch with a metadata library that speaks for its reader
// (tests/helpers/ForgingMediaInfo.cpp): whatever one file makes its reader
// send, the rows of the other files of its folder are those of a run without
// it, and the file gets a few short reports.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "support/ProgramCopy.h"

namespace quorvid {
namespace {

using test::ProgramCopy;

constexpr auto kHostileName = "clip-10-hostile.mp4";

// Twenty copies of the test media in one folder, dated an hour ago so that
// reading them changes no date.
void CopyMedia(const QString& folder) {
    const QDir media(QStringLiteral(QUORVID_TEST_MEDIA_DIR));
    const QStringList names = media.entryList(QDir::Files, QDir::Name);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 20; ++i) {
        const QString name = names[i % names.size()];
        const QString copy = QDir(folder).filePath(QStringLiteral("clip-%1.%2")
                                                       .arg(i, 2, 10, QLatin1Char('0'))
                                                       .arg(QFileInfo(name).suffix()));
        QFile::copy(media.filePath(name), copy);
        QFile file(copy);
        file.open(QIODevice::ReadWrite);
        file.setFileTime(now.addSecs(-3600), QFileDevice::FileModificationTime);
        file.setFileTime(now, QFileDevice::FileAccessTime);
    }
}

struct CsvRun {
    int exitCode = -1;
    QByteArray out;
    QList<QByteArray> errLines;
};

CsvRun RunCsv(const ProgramCopy& programs, const QString& folder, const QStringList& more = {}) {
    QProcess process;
    // Endless progress is cut by the file's deadline, five timeouts.
    process.start(
        programs.batch(),
        QStringList{QStringLiteral("-q"), QStringLiteral("--format"), QStringLiteral("csv"),
                    QStringLiteral("--file-timeout"), QStringLiteral("2.5"), folder} +
            more);
    EXPECT_TRUE(process.waitForFinished(120000));
    CsvRun run{process.exitCode(), process.readAllStandardOutput(), {}};
    for (const QByteArray& line : process.readAllStandardError().split('\n')) {
        if (!line.isEmpty()) {
            run.errLines << line;
        }
    }
    return run;
}

QList<QByteArray> LinesNotNaming(const QByteArray& text, const char* name) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.contains(name)) {
            lines << line;
        }
    }
    return lines;
}

bool HasControlCharacters(const QByteArray& line) {
    return std::any_of(line.begin(), line.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

TEST(ReaderPerFileTest, WhatAFileMakesItsReaderSendStaysWithThatFile) {
    const ProgramCopy programs(QStringLiteral(QUORVID_FORGING_LIBRARY));
    QTemporaryDir folder;
    CopyMedia(folder.path());
    const CsvRun clean = RunCsv(programs, folder.path());
    ASSERT_EQ(clean.exitCode, 0) << clean.errLines.join('\n').constData();
    ASSERT_EQ(clean.out.count('\n'), 21);
    const QString hostile = folder.filePath(QString::fromLatin1(kHostileName));
    for (const char* attack : {"columns 5000", "giant-cells", "endless-progress", "failure-flood",
                               "forge-others", "stay-taken"}) {
        SCOPED_TRACE(attack);
        QFile file(hostile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(attack) + '\n');
        file.close();
        const CsvRun run = RunCsv(programs, folder.path());
        const QByteArray err = run.errLines.join('\n');
        EXPECT_EQ(run.exitCode, 1) << err.constData();
        EXPECT_EQ(LinesNotNaming(run.out, kHostileName), LinesNotNaming(clean.out, kHostileName));
        EXPECT_FALSE(run.out.contains("FORGED") && std::string(attack) != "stay-taken");
        EXPECT_TRUE(run.out.contains(kHostileName));
        EXPECT_GE(run.errLines.size(), 1) << err.constData();
        EXPECT_LE(run.errLines.size(), 4) << err.constData();
        for (const QByteArray& line : run.errLines) {
            EXPECT_TRUE(line.contains(kHostileName)) << line.constData();
            EXPECT_LT(line.size(), 400) << line.constData();
            EXPECT_FALSE(HasControlCharacters(line)) << line.constData();
        }
        EXPECT_TRUE(programs.NoneAliveWithin(3000));
        QFile::remove(hostile);
    }
}

// The benchmarks' way, one reader for a run of files of one folder, shows what
// the test above guards against: the file's code reads the files after it.
TEST(ReaderPerFileTest, AReaderOfAWholeFolderLetsAFileForgeTheRowsAfterIt) {
    const ProgramCopy programs(QStringLiteral(QUORVID_FORGING_LIBRARY));
    const QString helper = programs.extractor();
    ASSERT_TRUE(QFile::rename(helper, helper + QStringLiteral(".real")));
    QFile script(helper);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec \"$0.real\" \"$@\" --readers-per-folder\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QTemporaryDir folder;
    CopyMedia(folder.path());
    QFile hostile(folder.filePath(QString::fromLatin1(kHostileName)));
    ASSERT_TRUE(hostile.open(QIODevice::WriteOnly));
    hostile.write("stay-taken\n");
    hostile.close();
    const CsvRun run = RunCsv(programs, folder.path(), {QStringLiteral("-j"), QStringLiteral("1")});
    // Its own row and those its reader read after it.
    EXPECT_GT(run.out.count("FORGED"), 1) << run.out.constData();
    EXPECT_TRUE(programs.NoneAliveWithin(3000));
}

}  // namespace
}  // namespace quorvid
