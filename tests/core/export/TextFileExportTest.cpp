#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <QDir>
#include <vector>

#include "core/export/TextFileExport.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"
#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"
#include "support/Unprivileged.h"

namespace quorvid::test {
namespace {

class TextFileExportTest : public ExportTest {
  protected:
    QString PathIn(const QString& name) const { return platform.folder.filePath(name); }

    QByteArray Save(const QString& name = QStringLiteral("out.txt")) {
        SaveListviewProperlySpaced(platform.platform, grid, PathIn(name), &progress);
        return ReadAll(PathIn(name));
    }
};

TEST_F(TextFileExportTest, PadsEveryCellToItsColumnsWidestTextAndEndsLinesWithCrLf) {
    FillGrid(grid, {"A", "BBB"}, {{"x", "yy"}, {"long", ""}});
    EXPECT_EQ(Save(), QByteArray("A   \tBBB\t\r\n"
                                 "x   \tyy \t\r\n"
                                 "long\t   \t\r\n"));
    EXPECT_TRUE(platform.dialogs.shown.empty());
}

TEST_F(TextFileExportTest, UncheckedRowsWidenColumnsButAreLeftOut) {
    FillGrid(grid, {"Name", "", "Note"},
             {{"a", "", "first"}, {"unchecked-wide", "", "hidden note!"}, {"b", "", "x"}});
    grid.SetChecked(2, false);
    // The empty column is one TAB wide; the unchecked row's texts set the widths.
    EXPECT_EQ(Save(), QByteArray("Name          \t\tNote        \t\r\n"
                                 "a             \t\tfirst       \t\r\n"
                                 "b             \t\tx           \t\r\n"));
}

TEST_F(TextFileExportTest, WritesTextsInTheSystemEncodingWithTabsAndLineBreaksAsBlanks) {
    // Each TAB, CR or LF becomes one blank, so the row stays one line under its headers.
    const QString tabbed = QStringLiteral("a\tb\r\nc");
    const QString accented = QStringLiteral("Vidéo");
    const QString astral = QString::fromUtf8("\xF0\x9F\x8E\xAC");  // two UTF-16 code units
    QString lone;
    lone.append(QChar(0xD800));
    FillGrid(grid, {"H1", "H\n2"}, {{tabbed, accented}, {astral, lone}});
    EXPECT_EQ(Save(), QByteArray("H1    \tH 2  \t\r\n"
                                 "a b  c\tVid\xC3\xA9o\t\r\n"
                                 "\xF0\x9F\x8E\xAC    \t\xEF\xBF\xBD    \t\r\n"));
}

TEST_F(TextFileExportTest, GridsWithoutRowsOrColumns) {
    FillGrid(grid, {"Video File/s", "General - Format"}, {});
    EXPECT_EQ(Save(QStringLiteral("headers.txt")),
              QByteArray("Video File/s\tGeneral - Format\t\r\n"));

    ListViewModel noColumns{true};
    noColumns.AddItem({});
    noColumns.AddItem({});
    SaveListviewProperlySpaced(platform.platform, noColumns, PathIn("empty.txt"), nullptr);
    EXPECT_EQ(ReadAll(PathIn("empty.txt")), QByteArray("\r\n\r\n\r\n"));
}

TEST_F(TextFileExportTest, ReplacesAnExistingFileWithoutAsking) {
    WriteAll(PathIn("out.txt"), "an earlier export that was much longer than the new one\r\n");
    FillGrid(grid, {"A"}, {{"x"}});
    EXPECT_EQ(Save(), QByteArray("A\t\r\nx\t\r\n"));
    EXPECT_TRUE(platform.dialogs.shown.empty());
}

TEST_F(TextFileExportTest, ProgressForTwentyFiveHundredRows) {
    FillGrid(grid, {"Path"}, {});
    for (int row = 1; row <= 2500; ++row) {
        grid.AddItem(QString::number(row));
    }
    std::vector<double> values;
    QStringList texts;
    QObject::connect(&progress, &ProgressState::valueChanged,
                     [&](double value) { values.push_back(value); });
    QObject::connect(&progress, &ProgressState::textChanged,
                     [&](const QString& text) { texts << text; });

    SaveListviewProperlySpaced(platform.platform, grid, PathIn("rows.txt"), &progress);

    ASSERT_EQ(values.size(), 3u + 2500u + 2u);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 10);
    EXPECT_EQ(values[2], 20);
    EXPECT_DOUBLE_EQ(values[3], 2.0 / 2500 * 100);        // row 1: (1 + 2500 div 2000) / 2500
    EXPECT_DOUBLE_EQ(values[2501], 2500.0 / 2500 * 100);  // row 2499
    EXPECT_DOUBLE_EQ(values[2502], 2501.0 / 2500 * 100);  // the last row passes 100
    EXPECT_EQ(values[2503], 100);
    EXPECT_EQ(values[2504], 0);
    EXPECT_EQ(texts, QStringList({"Writing file: rows.txt", "Writing file: rows.txt",
                                  "Writing file: rows.txt", "Writing file: rows.txt (1000)",
                                  "Writing file: rows.txt (2000)", "Done.", "Progress Bar"}));
}

TEST_F(TextFileExportTest, SmallGridReachesExactlyHundredAtItsLastCheckedRow) {
    FillGrid(grid, {"Path"}, {{"a"}, {"b"}, {"c"}});
    std::vector<double> values;
    QObject::connect(&progress, &ProgressState::valueChanged,
                     [&](double value) { values.push_back(value); });
    Save();
    const std::vector<double> expected{1,   10, 20, 1 / 3.0 * 100, 2 / 3.0 * 100, 3 / 3.0 * 100,
                                       100, 0};
    ASSERT_EQ(values.size(), expected.size());
    for (size_t at = 0; at < values.size(); ++at) {
        EXPECT_DOUBLE_EQ(values[at], expected[at]) << at;
    }
}

TEST_F(TextFileExportTest, FileThatCannotBeCreatedIsReportedOnce) {
    FillGrid(grid, {"A"}, {{"x"}, {"y"}});
    const QString folder = PathIn("a folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString missing = PathIn("no such folder/out.txt");
    for (const QString& path : {folder, missing}) {
        platform.dialogs.shown.clear();
        SaveListviewProperlySpaced(platform.platform, grid, path, &progress);
        const QStringList reports = platform.dialogs.Warnings();
        ASSERT_EQ(reports.size(), 1) << path.toStdString();
        EXPECT_TRUE(reports[0].contains(location::kSaveListviewProperlySpaced));
        EXPECT_TRUE(reports[0].contains(AtLine(step::saveText::kCreateFile)));
        EXPECT_EQ(progress.value(), 0);
        EXPECT_EQ(progress.text(), QStringLiteral("Progress Bar"));
    }
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(TextFileExportTest, FailedWriteKeepsTheOldFileAndIsReported) {
    const QByteArray earlier = "the export of yesterday\r\n";
    WriteAll(PathIn("out.txt"), earlier);
    FillGrid(grid, {"Path"}, {});
    for (int row = 1; row <= 2000; ++row) {
        grid.AddItem(
            QStringLiteral("/videos/a rather long path to make the file grow %1.mp4").arg(row));
    }

    // A file-size limit stands in for a full disk: writes beyond it fail.
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    SaveListviewProperlySpaced(platform.platform, grid, PathIn("out.txt"), &progress);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadAll(PathIn("out.txt")), earlier);
    const QStringList reports = platform.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QStringLiteral("not saved")));
    EXPECT_EQ(QDir(platform.folder.path()).entryList({"out.txt*"}, QDir::Files | QDir::Hidden),
              QStringList{"out.txt"});
}

TEST_F(TextFileExportTest, FailureOfTheLastBytesToGoOutKeepsTheOldFileAndIsReported) {
    const QByteArray earlier = "the export of yesterday\r\n";
    WriteAll(PathIn("out.txt"), earlier);
    FillGrid(grid, {"Path"}, {{"/videos/a.mp4"}, {"/videos/b.mp4"}});

    // The rows fit in the file's buffer; handing them to the file at the close
    // fails, as on a full disk.
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    SaveListviewProperlySpaced(platform.platform, grid, PathIn("out.txt"), &progress);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadAll(PathIn("out.txt")), earlier);
    const QStringList reports = platform.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(AtLine(step::saveText::kCloseFile)));
    EXPECT_TRUE(reports[0].contains(QStringLiteral("not saved")));
    EXPECT_EQ(QDir(platform.folder.path()).entryList({"out.txt*"}, QDir::Files | QDir::Hidden),
              QStringList{"out.txt"});
}

TEST_F(TextFileExportTest, GridClearedDuringTheSaveKeepsTheOldFileAndIsReported) {
    FillGrid(grid, {"Path", "Size"}, {{"a", "1"}, {"b", "22"}, {"c", "333"}, {"d", "4"}});
    // "Clear List" runs once the second row's line is built.
    platform.events.onYield = [&](int) {
        if (progress.value() == 50 && grid.ItemCount() > 0) {
            grid.ClearItems();
        }
    };
    const QByteArray earlier = "the export of yesterday\r\n";
    WriteAll(PathIn("out.txt"), earlier);
    EXPECT_EQ(Save(), earlier);
    const QStringList reports = platform.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(AtLine(step::saveText::kRowLine)));
    EXPECT_TRUE(reports[0].contains(QStringLiteral("not saved")));
    EXPECT_EQ(progress.text(), QStringLiteral("Progress Bar"));

    // Cleared while the widths are measured: no file either.
    platform.dialogs.shown.clear();
    FillGrid(grid, {}, {{"a", "1"}, {"b", "22"}, {"c", "333"}});
    platform.events.count = 0;
    platform.events.onYield = [&](int count) {
        if (count == 5) {  // before the third row of the first column
            grid.ClearItems();
        }
    };
    EXPECT_EQ(Save(QStringLiteral("new.txt")), QByteArray("(unreadable)"));
    ASSERT_EQ(platform.dialogs.Warnings().size(), 1);
    EXPECT_TRUE(platform.dialogs.Warnings()[0].contains(AtLine(step::saveText::kMeasureWidths)));
}

TEST_F(TextFileExportTest, TargetThatIsNoRegularFileIsRefusedAndLeftAlone) {
    FillGrid(grid, {"A"}, {{"x"}});
    const QString fifo = PathIn("pipe.txt");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = PathIn("link to pipe.txt");
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link}) {
        platform.dialogs.shown.clear();
        SaveListviewProperlySpaced(platform.platform, grid, path, &progress);
        ASSERT_EQ(platform.dialogs.shown.size(), 1u) << path.toStdString();
        EXPECT_EQ(platform.dialogs.shown[0].title, QStringLiteral("Application Error"));
        EXPECT_TRUE(platform.dialogs.shown[0].text.contains(QStringLiteral("not a regular file")));
        EXPECT_TRUE(platform.dialogs.shown[0].text.contains(AtLine(step::saveText::kCreateFile)));
    }
    struct stat status {};
    ASSERT_EQ(lstat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(lstat(QFile::encodeName(link).constData(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(QDir(platform.folder.path())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden)
                  .size(),
              2);
}

TEST_F(TextFileExportTest, WritableFileInAFolderThatIsNotIsReplacedInPlace) {
    FillGrid(grid, {"A"}, {{"x"}});
    const QString folder = PathIn("read-only folder");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/out.txt");
    WriteAll(path, "an earlier export that was much longer than the new one\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(platform.folder.path()).constData(), 0755), 0);
    {
        // Root writes into every folder; as another user the permission applies.
        Unprivileged unprivileged;
        if (!unprivileged.effective()) {
            GTEST_SKIP() << "cannot give up root here, so permission cannot be denied";
        }
        SaveListviewProperlySpaced(platform.platform, grid, path, &progress);
    }
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(platform.dialogs.Warnings().empty())
        << platform.dialogs.Warnings().value(0).toStdString();
    EXPECT_EQ(ReadAll(path), QByteArray("A\t\r\nx\t\r\n"));
}

TEST_F(TextFileExportTest, CommandAsksForTheNameAndKeepsThePointerBusyMeanwhile) {
    FillGrid(grid, {"A"}, {{"x"}});
    SaveResultsAsTextFileCommand(context);  // cancelled: nothing happens
    ASSERT_EQ(platform.dialogs.shown.size(), 1u);
    EXPECT_EQ(platform.dialogs.shown[0].title, QStringLiteral("Save"));
    EXPECT_EQ(platform.dialogs.shown[0].extra,
              QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
    EXPECT_EQ(platform.events.count, 0);

    std::vector<PointerShape> pointersWhileSaving;
    platform.events.onYield = [&](int) { pointersWhileSaving.push_back(pointer.value()); };
    platform.dialogs.saveAnswers.push_back(PathIn("chosen"));
    SaveResultsAsTextFileCommand(context);
    EXPECT_EQ(ReadAll(PathIn("chosen")), QByteArray("A\t\r\nx\t\r\n"));
    ASSERT_FALSE(pointersWhileSaving.empty());
    EXPECT_EQ(pointersWhileSaving.front(), MousePointerState::kHourglass);
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
    EXPECT_TRUE(platform.dialogs.Warnings().empty());
}

}  // namespace
}  // namespace quorvid::test
