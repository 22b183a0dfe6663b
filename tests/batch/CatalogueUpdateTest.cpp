#include <gtest/gtest.h>
#include <unistd.h>

#include <QThread>

#include "batch/BatchProgram.h"

namespace quorvid {
namespace {

QByteArray LineOf(const QByteArray& lines, const QString& path) {
    for (const QByteArray& line : lines.split('\n')) {
        if (line.startsWith("{\"Video File/s\":\"" + path.toUtf8() + "\",")) {
            return line + '\n';
        }
    }
    return {};
}

QByteArray LastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.back();
}

// A catalogue of the media folder, written by a fresh run once the files'
// status changes are a second old (younger ones would be read again).
class CatalogueUpdateTest : public testing::Test {
  protected:
    CatalogueUpdateTest() {
        QThread::msleep(1100);
        fresh = RunBatch({QStringLiteral("-q"), QStringLiteral("--format=json"), folder.root()});
        EXPECT_EQ(fresh.exitCode, 0) << fresh.err.constData();
        Store(fresh.out);
        rowCount = fresh.out.count('\n');
    }
    void Store(const QByteArray& bytes) {
        QFile file(catalogue);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        // The catalogue is older than any later change of the media.
        QThread::msleep(1100);
    }
    Finished Update(const QString& path) {
        return RunBatch({QStringLiteral("-q"), QStringLiteral("--update"), catalogue, path});
    }
    QString Media(const char* name) const { return folder.dir.filePath(QString::fromUtf8(name)); }

    MediaFolder folder;
    QTemporaryDir target;
    const QString catalogue = target.filePath(QStringLiteral("catalogue.jsonl"));
    Finished fresh;
    qsizetype rowCount = 0;
};

TEST_F(CatalogueUpdateTest, UnchangedFilesGiveTheBytesOfAFreshRunWithoutBeingRead) {
    ASSERT_GT(rowCount, 5);
    const Finished update = Update(folder.root());
    EXPECT_EQ(update.exitCode, 0) << update.err.constData();
    EXPECT_EQ(
        update.err,
        QStringLiteral("quorvid-batch: %1 files kept, 0 read, 0 dropped\n").arg(rowCount).toUtf8());
    EXPECT_EQ(ReadAll(catalogue), fresh.out);
}

TEST_F(CatalogueUpdateTest, ReadsTheChangedAndNewFilesDropsTheGoneAndKeepsTheRest) {
    // A mark in two rows shows which rows were read again.
    const QString kept = Media("h264-aac.mp4");
    const QString changed = folder.sub() + QStringLiteral("/inner.mp4");
    QByteArray marked = fresh.out;
    for (const QString& path : {kept, changed}) {
        QByteArray line = LineOf(marked, path);
        ASSERT_TRUE(line.contains("\"General - Format\":\"MPEG-4\""));
        marked.replace(line, QByteArray(line).replace("\"General - Format\":\"MPEG-4\"",
                                                      "\"General - Format\":\"mark\""));
    }
    Store(marked);
    QFile file(changed);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-7200),
                                 QFileDevice::FileModificationTime));
    file.close();
    folder.Copy(kept, Media("added.mp4"));
    ASSERT_TRUE(QFile::remove(Media("empty.mp4")));

    const Finished update = Update(folder.root());
    EXPECT_EQ(update.exitCode, 0) << update.err.constData();
    EXPECT_EQ(LastLine(update.err),
              QStringLiteral("quorvid-batch: %1 files kept, 2 read, 1 dropped").arg(rowCount - 2));
    const QByteArray updated = ReadAll(catalogue);
    EXPECT_TRUE(LineOf(updated, kept).contains("\"General - Format\":\"mark\""));
    EXPECT_TRUE(LineOf(updated, changed).contains("\"General - Format\":\"MPEG-4\""));
    EXPECT_TRUE(LineOf(updated, Media("empty.mp4")).isEmpty());
    const Finished now =
        RunBatch({QStringLiteral("-q"), QStringLiteral("--format=json"), folder.root()});
    EXPECT_EQ(QByteArray(updated).replace("\"General - Format\":\"mark\"",
                                          "\"General - Format\":\"MPEG-4\""),
              now.out);
}

TEST_F(CatalogueUpdateTest, RowsOutsideThePathsStayEvenWhenTheirFilesAreGone) {
    const QString inner = folder.sub() + QStringLiteral("/inner.mp4");
    ASSERT_TRUE(QFile::remove(inner));
    ASSERT_TRUE(QFile::remove(Media("empty.mp4")));
    const Finished update = Update(folder.sub());
    EXPECT_EQ(update.exitCode, 0) << update.err.constData();
    EXPECT_EQ(LastLine(update.err),
              QStringLiteral("quorvid-batch: %1 files kept, 0 read, 1 dropped").arg(rowCount - 1));
    EXPECT_EQ(ReadAll(catalogue), QByteArray(fresh.out).replace(LineOf(fresh.out, inner), ""));
}

TEST_F(CatalogueUpdateTest, ADamagedCatalogueOrAFailedWriteLeavesTheOldCatalogue) {
    const qsizetype secondLineEnd = fresh.out.indexOf('\n', fresh.out.indexOf('\n') + 1);
    const QByteArray cut = fresh.out.left(secondLineEnd - 10);
    Store(cut);
    const Finished damaged = Update(folder.root());
    EXPECT_EQ(damaged.exitCode, 2);
    EXPECT_EQ(damaged.err, "quorvid-batch: " + QFile::encodeName(catalogue) +
                               ": line 2: the line is cut off; nothing was written\n");
    EXPECT_EQ(ReadAll(catalogue), cut);

    QByteArray foreign = fresh.out;
    foreign.insert(foreign.indexOf('\n') + 1, "{\"name\":\"clip.mp4\"}\n");
    Store(foreign);
    const Finished refused = Update(folder.root());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(
        refused.err.contains(": line 2: \"name\" where the column \"Video File/s\" belongs"))
        << refused.err.constData();
    EXPECT_EQ(ReadAll(catalogue), foreign);

    // A file-size limit stands in for a full disk.
    Store(fresh.out);
    ASSERT_TRUE(QFile::remove(Media("empty.mp4")));
    const Finished full =
        RunBatch({QStringLiteral("-q"), QStringLiteral("--update"), catalogue, folder.root()}, {},
                 WithFileSizeLimit(4096));
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_TRUE(full.err.contains("the output was not written"));
    EXPECT_EQ(ReadAll(catalogue), fresh.out);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("catalogue.jsonl")});

    if (geteuid() != 0) {  // the superuser writes in any folder
        QFile::setPermissions(target.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const Finished unwritable = Update(folder.root());
        QFile::setPermissions(target.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
        EXPECT_EQ(unwritable.exitCode, 2);
        EXPECT_EQ(ReadAll(catalogue), fresh.out);
    }
}

TEST_F(CatalogueUpdateTest, UsageErrors) {
    for (const QStringList& usage :
         {QStringList{QStringLiteral("--update"), catalogue, QStringLiteral("-o"),
                      QStringLiteral("x"), folder.root()},
          QStringList{QStringLiteral("--update"), catalogue, QStringLiteral("--format=csv"),
                      folder.root()},
          QStringList{QStringLiteral("--update"), catalogue, QStringLiteral("--merge"), catalogue},
          QStringList{QStringLiteral("--update"), catalogue}}) {
        const Finished run = RunBatch(usage);
        EXPECT_EQ(run.exitCode, 2) << usage.join(u' ').toStdString();
    }
    EXPECT_EQ(ReadAll(catalogue), fresh.out);
    const Finished missing = RunBatch(
        {QStringLiteral("--update"), target.filePath(QStringLiteral("none.jsonl")), folder.root()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("catalogue.jsonl")});
}

}  // namespace
}  // namespace quorvid
