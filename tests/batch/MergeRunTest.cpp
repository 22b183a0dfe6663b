#include <gtest/gtest.h>

#include "batch/BatchProgram.h"
#include "core/export/JsonRowReader.h"
#include "support/WorkbookReading.h"

namespace quorvid {
namespace {

std::vector<JsonRow> RowsOf(const QByteArray& lines) {
    std::vector<JsonRow> rows;
    QString error;
    for (const QByteArray& line : lines.split('\n')) {
        if (!line.isEmpty()) {
            rows.push_back(*ParseJsonRowLine(line, error));
        }
    }
    return rows;
}

// Two parts of one run's files, each written by a run of its own.
class MergeRunTest : public testing::Test {
  protected:
    MergeRunTest() {
        whole = RunBatch({QStringLiteral("-q"), QStringLiteral("--format=json"), folder.root()});
        QList<QByteArray> paths;
        for (const JsonRow& row : RowsOf(whole.out)) {
            paths << QFile::encodeName(row.path());
        }
        EXPECT_GT(paths.size(), 3);
        WritePart(first, paths.mid(0, 2));
        WritePart(second, paths.mid(2));
    }
    static void WritePart(const QString& part, const QList<QByteArray>& paths) {
        const Finished run = RunBatch({QStringLiteral("-q"), QStringLiteral("--format=json"),
                                       QStringLiteral("-o"), part, QStringLiteral("-")},
                                      paths.join('\n'));
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    Finished Merge(const QStringList& parts, const char* format) {
        return RunBatch(QStringList{QStringLiteral("--merge"),
                                    QStringLiteral("--format=") + QString::fromUtf8(format)} +
                        parts);
    }

    MediaFolder folder;
    QTemporaryDir target;
    const QString first = target.filePath(QStringLiteral("first.jsonl"));
    const QString second = target.filePath(QStringLiteral("second.jsonl"));
    Finished whole;
};

TEST_F(MergeRunTest, PartsMergeIntoTheBytesOfOneRunInEveryFormat) {
    for (const char* format : {"json", "csv", "text"}) {
        const Finished merged = Merge({first, second}, format);
        EXPECT_EQ(merged.exitCode, 0) << merged.err.constData();
        EXPECT_TRUE(merged.err.isEmpty()) << merged.err.constData();
        const Finished one =
            RunBatch({QStringLiteral("-q"), QStringLiteral("--format=") + QString::fromUtf8(format),
                      folder.root()});
        EXPECT_EQ(merged.out, one.out) << format;
    }
}

TEST_F(MergeRunTest, PartsMergeIntoTheWorkbookOfOneRun) {
    if (test::UnzipProgram().isEmpty()) {
        GTEST_SKIP() << "unzip is not installed; it reads the workbooks back";
    }
    const QString merged = target.filePath(QStringLiteral("merged.xlsx"));
    const QString one = target.filePath(QStringLiteral("one.xlsx"));
    const Finished merge = RunBatch({QStringLiteral("--merge"), QStringLiteral("--format=xlsx"),
                                     QStringLiteral("-o"), merged, first, second});
    EXPECT_EQ(merge.exitCode, 0) << merge.err.constData();
    const Finished run =
        RunBatch({QStringLiteral("--format=xlsx"), QStringLiteral("-o"), one, folder.root()});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    EXPECT_FALSE(test::Unzipped(one, sheet).isEmpty());
    EXPECT_EQ(test::Unzipped(merged, sheet), test::Unzipped(one, sheet));
}

TEST_F(MergeRunTest, ADetailColumnFirstMetInALaterPartComesAfterTheOthers) {
    // The first part without the owner: one run over such rows would meet the
    // owner's column last.
    QByteArray withoutOwner;
    for (const QByteArray& line : ReadAll(first).split('\n')) {
        if (!line.isEmpty()) {
            const qsizetype at = line.indexOf(",\"File General - Owner\":");
            const qsizetype end = line.indexOf(",\"", at + 1);
            withoutOwner += QByteArray(line).remove(at, end - at) + '\n';
        }
    }
    Write(first, withoutOwner);
    const Finished csv = Merge({first, second}, "csv");
    EXPECT_TRUE(csv.out.left(csv.out.indexOf('\n')).endsWith(",File General - Owner\r"));
    const Finished json = Merge({first, second}, "json");
    const std::vector<JsonRow> merged = RowsOf(json.out);
    const std::vector<JsonRow> given = RowsOf(withoutOwner + ReadAll(second));
    ASSERT_EQ(merged.size(), given.size());
    for (size_t i = 0; i < merged.size(); ++i) {
        auto sorted = [](std::vector<std::pair<QString, QString>> cells) {
            std::sort(cells.begin(), cells.end());
            return cells;
        };
        EXPECT_EQ(sorted(merged[i].cells), sorted(given[i].cells)) << i;
        if (i >= 2) {
            EXPECT_EQ(merged[i].cells.back().first, QStringLiteral("File General - Owner"));
        }
    }
}

TEST_F(MergeRunTest, AFileInTwoPartsIsOneRowFromTheLaterPartWhereItWasFirstMet) {
    const QString again = target.filePath(QStringLiteral("again.jsonl"));
    QByteArray later = ReadAll(first);
    later = later.left(later.indexOf('\n') + 1);
    const QString path = RowsOf(later).front().path();
    later.replace("\"General - Format\":\"", "\"General - Format\":\"later ");
    Write(again, later);
    const Finished merged = Merge({first, second, again}, "json");
    EXPECT_EQ(merged.exitCode, 0);
    EXPECT_EQ(merged.err, "quorvid-batch: " + path.toUtf8() +
                              ": more than one row; the last, from " + QFile::encodeName(again) +
                              ", is written\n");
    EXPECT_EQ(merged.out,
              QByteArray(whole.out).replace(whole.out.left(whole.out.indexOf('\n') + 1), later));
}

TEST_F(MergeRunTest, AForeignPartIsRefusedBeforeAnyRowIsWritten) {
    const QString foreign = target.filePath(QStringLiteral("foreign.jsonl"));
    Write(foreign, ReadAll(second) + "{\"a\":1}\n");
    const Finished merged = Merge({first, foreign}, "json");
    EXPECT_EQ(merged.exitCode, 2);
    EXPECT_TRUE(merged.out.isEmpty());
    EXPECT_TRUE(merged.err.contains(
        QStringLiteral(": line %1: ").arg(ReadAll(second).count('\n') + 1).toUtf8()))
        << merged.err.constData();
    EXPECT_EQ(Merge({first, target.filePath(QStringLiteral("none.jsonl"))}, "csv").exitCode, 2);
}

}  // namespace
}  // namespace quorvid
