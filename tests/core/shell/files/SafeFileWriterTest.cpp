#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>

#include "core/export/TextFileLine.h"
#include "core/shell/files/SafeFileWriter.h"
#include "support/Unprivileged.h"

namespace quorvid {
namespace {

using Fallback = SafeFileWriter::InPlaceFallback;
using OpenState = SafeFileWriter::OpenState;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QStringList EntriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                  QDir::Hidden);
}

TEST(SafeFileWriter, TextFileLinesEndInCrLfAndAFailedFileLeavesTheOldOne) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("out.txt"));
    WriteFile(path, "old");
    QStringEncoder encoder(QStringConverter::System);
    {
        auto file = SafeFileWriter::ToFile(path, Fallback::kAllowed);
        file->Write(TextFileLine(encoder, QStringLiteral("A\tü")));
        // Not committed: the old file must stay as it was.
    }
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    old.close();

    auto file = SafeFileWriter::ToFile(path, Fallback::kAllowed);
    file->Write(TextFileLine(encoder, QStringLiteral("A\tü")));
    file->Write(TextFileLine(encoder, QString()));
    ASSERT_TRUE(file->Commit());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("A\t\xc3\xbc\r\n\r\n"));
    EXPECT_FALSE(file->Write(TextFileLine(encoder, QStringLiteral("late"))));

    EXPECT_EQ(SafeFileWriter::ToFile(root.path(), Fallback::kAllowed)->openState(),
              OpenState::kPathIsFolder);
    EXPECT_EQ(SafeFileWriter::ToFile(root.filePath(QStringLiteral("no/such/folder.txt")),
                                     Fallback::kAllowed)
                  ->openState(),
              OpenState::kCannotCreate);
}

TEST(SafeFileWriter, TargetThatIsNoRegularFileIsRefusedAndLeftAsItIs) {
    QTemporaryDir root;
    const QString fifo = root.filePath(QStringLiteral("rows.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = root.filePath(QStringLiteral("link to rows"));
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link}) {
        for (const Fallback fallback : {Fallback::kRefused, Fallback::kAllowed}) {
            const auto file = SafeFileWriter::ToFile(path, fallback);
            EXPECT_EQ(file->openState(), OpenState::kNotRegularFile) << path.toStdString();
            EXPECT_FALSE(file->Write("x"));
            EXPECT_FALSE(file->Commit());
        }
    }
    struct stat status {};
    ASSERT_EQ(lstat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(lstat(QFile::encodeName(link).constData(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(EntriesOf(root.path()).size(), 2);
}

TEST(SafeFileWriter, DiscardLeavesTheOldFileAndNoTemporaryCopy) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("out.txt"));
    WriteFile(path, "old");
    const auto file = SafeFileWriter::ToFile(path, Fallback::kAllowed);
    ASSERT_TRUE(file->isOpen());
    EXPECT_TRUE(file->keepsOldFileOnFailure());
    EXPECT_TRUE(file->Write("new rows"));
    file->Discard();
    EXPECT_FALSE(file->Write("more"));
    EXPECT_FALSE(file->Commit());
    EXPECT_EQ(ReadFile(path), QByteArray("old"));
    EXPECT_EQ(EntriesOf(root.path()), QStringList{QStringLiteral("out.txt")});
}

TEST(SafeFileWriter, FailedCommitIsReportedAndKeepsTheOldFile) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("out.txt"));
    WriteFile(path, "old");
    auto file = SafeFileWriter::ToFile(path, Fallback::kRefused);
    ASSERT_TRUE(file->isOpen());
    // Buffered, so the write succeeds; a file-size limit stands in for a full
    // disk when the commit hands the bytes on.
    EXPECT_TRUE(file->Write("more than the limit allows"));
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = original;
    tiny.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const bool committed = file->Commit();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(committed);
    const QString reason = file->errorString();
    EXPECT_FALSE(reason.isEmpty());
    // The first failure is the one kept.
    EXPECT_FALSE(file->Write("late"));
    EXPECT_EQ(file->errorString(), reason);
    file.reset();
    EXPECT_EQ(ReadFile(path), QByteArray("old"));
    EXPECT_EQ(EntriesOf(root.path()), QStringList{QStringLiteral("out.txt")});
}

TEST(SafeFileWriter, InPlaceOnlyWhereAllowedAndThenADiscardKeepsWhatWasWritten) {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("read-only folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/out.txt");
    WriteFile(path, "an earlier file");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
    OpenState refusedState = OpenState::kOpen;
    bool inPlaceOpen = false;
    bool inPlaceKeepsOld = true;
    {
        // Root writes into every folder; as another user the permission applies.
        test::Unprivileged unprivileged;
        if (!unprivileged.effective()) {
            GTEST_SKIP() << "cannot give up root here, so permission cannot be denied";
        }
        refusedState = SafeFileWriter::ToFile(path, Fallback::kRefused)->openState();
        const auto inPlace = SafeFileWriter::ToFile(path, Fallback::kAllowed);
        inPlaceOpen = inPlace->isOpen();
        inPlaceKeepsOld = inPlace->keepsOldFileOnFailure();
        inPlace->Write("part");
        inPlace->Discard();
    }
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(refusedState, OpenState::kCannotCreate);
    EXPECT_TRUE(inPlaceOpen);
    EXPECT_FALSE(inPlaceKeepsOld);
    EXPECT_EQ(ReadFile(path), QByteArray("part"));
}

// Puts a pipe in place of standard output while it lives.
class CapturedStandardOutput {
  public:
    CapturedStandardOutput() {
        std::fflush(stdout);
        savedOutput_ = dup(STDOUT_FILENO);
        if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
            dup2(pipe_[1], STDOUT_FILENO);
        }
    }
    ~CapturedStandardOutput() {
        dup2(savedOutput_, STDOUT_FILENO);
        close(savedOutput_);
        close(pipe_[1]);
        CloseReader();
    }
    QByteArray Take() {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t got; (got = read(pipe_[0], buffer, sizeof buffer)) > 0;) {
            bytes.append(buffer, got);
        }
        return bytes;
    }
    void CloseReader() {
        if (pipe_[0] >= 0) {
            close(pipe_[0]);
            pipe_[0] = -1;
        }
    }

  private:
    int savedOutput_ = -1;
    int pipe_[2] = {-1, -1};
};

TEST(SafeFileWriter, StandardOutputHandsOnFlushedRowsAndReportsAReaderThatWentAway) {
    // Checked once standard output is back, so that failures can be read.
    QByteArray flushed, committed;
    bool committedOk = false;
    bool keepsOld = true;
    bool flushedWithoutReader = true;
    QString reasonWithoutReader;
    bool committedWithoutReader = true;
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
    {
        CapturedStandardOutput output;
        const auto rows = SafeFileWriter::ToStandardOutput();
        keepsOld = rows->keepsOldFileOnFailure();
        rows->Write("row 1\n");
        rows->Flush();
        flushed = output.Take();
        rows->Write("row 2\n");
        committedOk = rows->Commit();
        committed = output.Take();

        output.CloseReader();
        const auto orphan = SafeFileWriter::ToStandardOutput();
        orphan->Write("nobody reads this\n");
        flushedWithoutReader = orphan->Flush();
        reasonWithoutReader = orphan->errorString();
        committedWithoutReader = orphan->Commit();
    }
    std::signal(SIGPIPE, previousHandler);

    EXPECT_EQ(flushed, QByteArray("row 1\n"));
    EXPECT_TRUE(committedOk);
    EXPECT_EQ(committed, QByteArray("row 2\n"));
    EXPECT_FALSE(keepsOld);
    EXPECT_FALSE(flushedWithoutReader);
    EXPECT_FALSE(reasonWithoutReader.isEmpty());
    EXPECT_FALSE(committedWithoutReader);
}

}  // namespace
}  // namespace quorvid
