#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "core/commands/ExtractionRun.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractorPoolOptions.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/report/ReportSteps.h"
#include "support/ExtractTestSupport.h"
#include "support/HelperProcesses.h"
#include "support/TestPlatform.h"

namespace quorvid {
namespace {

using test::MediaPath;
using test::ReportedSteps;
using test::ScriptedShell;

// The real helper program, as the window starts it, with a given watchdog.
ExtractorPoolOptions RealHelpers(std::chrono::milliseconds watchdog = std::chrono::seconds(60)) {
    ExtractorPoolOptions options;
    options.program = QStringLiteral(QUORVID_EXTRACTOR);
    options.watchdog = watchdog;
    return options;
}

// The window's lists, bar and pointer without the window.
class ExtractionRunTest : public testing::Test {
  protected:
    ExtractionRunTest() {
        ResultsGrid(resultsGrid).CreateResultColumns();
        context = std::make_unique<CommandContext>(
            CommandContext{test.platform, inputList, resultsGrid, progress, pointer});
    }
    ~ExtractionRunTest() override { QDir::setCurrent(startFolder); }

    void Add(const QString& path) { inputList.AddItem(path); }

    // One click with the real library and the desktop's details.
    void Click() { Click(std::make_unique<ExtractionRun>(*context)); }
    void Click(MediaInfoLibrary& library, Shell& shell) {
        Click(std::make_unique<ExtractionRun>(*context, library, shell));
    }
    void Click(ExtractorPoolOptions helpers) {
        Click(std::make_unique<ExtractionRun>(*context, std::move(helpers)));
    }
    // A click while a run goes on reaches the command that runs, as the
    // window's button does.
    void Click(std::unique_ptr<ExtractionRun> command) {
        if (!running()) {
            extraction = std::move(command);
        }
        extraction->PushButton2_Click();
    }
    bool running() const { return extraction && extraction->ExtractionRunning(); }

    // Everything a run shows: the headers, every cell of every row, the reports
    // and messages; the dialogs are forgotten afterwards.
    QStringList Outcome() {
        QStringList outcome = Headers();
        for (int row = 1; row <= resultsGrid.ItemCount(); ++row) {
            outcome << resultsGrid.ItemText(row);
            for (int k = 1; k < resultsGrid.ColumnCount(); ++k) {
                outcome << resultsGrid.SubItem(row, k);
            }
        }
        outcome << test.dialogs.Warnings() << test.dialogs.Messages();
        test.dialogs.shown.clear();
        return outcome;
    }

    QStringList Headers() const {
        QStringList headers;
        for (int position = 1; position <= resultsGrid.ColumnCount(); ++position) {
            headers << resultsGrid.ColumnText(position);
        }
        return headers;
    }
    QString CellUnder(int row, const QString& header) const {
        const int position =
            ResultsGrid(const_cast<ListViewModel&>(resultsGrid)).FindColumnByHeader(header);
        return position < 2 ? QString() : resultsGrid.SubItem(row, position - 1);
    }

    const QString startFolder = QDir::currentPath();
    test::TestPlatform test;
    ListViewModel inputList{false};
    ListViewModel resultsGrid{true};
    ProgressState progress;
    MousePointerState pointer;
    std::unique_ptr<CommandContext> context;
    std::unique_ptr<ExtractionRun> extraction;
};

TEST_F(ExtractionRunTest, FillsOneRowPerEntryWithProgressAndBusyPointer) {
    const QStringList paths = {
        MediaPath(QStringLiteral("h264-aac.mp4")), MediaPath(QStringLiteral("not-a-video.mp4")),
        MediaPath(QStringLiteral("vp8-silent.webm")), MediaPath(QStringLiteral("h264-aac.mp4"))};
    for (const QString& path : paths) {
        Add(path);
    }
    struct Seen {
        double value;
        QString text;
        PointerShape pointer;
        int rows;
        bool running;
    };
    std::vector<Seen> seen;
    test.events.onYield = [&](int) {
        seen.push_back({progress.value(), progress.text(), pointer.value(), resultsGrid.ItemCount(),
                        running()});
    };
    Click();

    ASSERT_EQ(seen.size(), 4u);
    const std::vector<double> values = {25, 50, 75, 100};
    for (size_t j = 0; j < seen.size(); ++j) {
        EXPECT_DOUBLE_EQ(seen[j].value, values[j]);
        EXPECT_EQ(seen[j].text, QStringLiteral("Processing: ") + QFileInfo(paths[j]).fileName());
        EXPECT_EQ(seen[j].rows, static_cast<int>(j));
        EXPECT_TRUE(seen[j].running);
    }
    EXPECT_EQ(seen[0].pointer, MousePointerState::kDefault);
    EXPECT_EQ(seen[1].pointer, MousePointerState::kHourglass);

    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_TRUE(test.dialogs.Warnings().isEmpty())
        << test.dialogs.Warnings().join("\n").toStdString();
    EXPECT_DOUBLE_EQ(progress.value(), 0);
    EXPECT_EQ(progress.text(), "Progress Bar");
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
    EXPECT_FALSE(running());
    EXPECT_EQ(QDir::currentPath(), QDir(test.platform.programFolder).canonicalPath());

    ASSERT_EQ(resultsGrid.ItemCount(), 4);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(resultsGrid.ItemText(row), paths[row - 1]);
        EXPECT_EQ(resultsGrid.SubItem(row, 42), QFileInfo(paths[row - 1]).fileName());
    }
    EXPECT_EQ(resultsGrid.SubItem(1, 16), "64 pixels");
    // The text file named .mp4: empty library cells, filled file cells, no message.
    EXPECT_TRUE(resultsGrid.SubItem(2, 1).isEmpty());
    EXPECT_EQ(resultsGrid.SubItem(2, 49), "33");
    EXPECT_EQ(resultsGrid.SubItem(3, 9), "V_VP8");
    // A path listed twice gives two equal rows.
    for (int k = 1; k < resultsGrid.ColumnCount(); ++k) {
        EXPECT_EQ(resultsGrid.SubItem(4, k), resultsGrid.SubItem(1, k)) << k;
    }
    // The desktop details follow the catalogue; the name is no column.
    const QStringList details = Headers().mid(kCatalogueColumnCount);
    EXPECT_FALSE(details.isEmpty());
    EXPECT_EQ(details.filter(QStringLiteral("File General - ")), details);
    EXPECT_FALSE(details.contains(QStringLiteral("File General - Name")));
    EXPECT_EQ(CellUnder(3, QStringLiteral("File General - Content type")), "video/webm");
}

TEST_F(ExtractionRunTest, PacedProgressYieldsWhenDueAndEndsOnTheLastFile) {
    const QStringList paths = {MediaPath(QStringLiteral("h264-aac.mp4")),
                               MediaPath(QStringLiteral("mpeg4-mp3.avi")),
                               MediaPath(QStringLiteral("vp8-silent.webm")),
                               MediaPath(QStringLiteral("clip with spaces.mkv")),
                               MediaPath(QStringLiteral("audio-only.m4a"))};
    for (const QString& path : paths) {
        Add(path);
    }
    // Due for the first and the fourth file; the last one needs no asking.
    test.events.progressDueAnswers = {true, false, false, true};
    struct Seen {
        double value;
        QString text;
        int rows;
    };
    std::vector<Seen> seen;
    test.events.onYield = [&](int) {
        seen.push_back({progress.value(), progress.text(), resultsGrid.ItemCount()});
    };
    MediaInfoLibrary library{QString{}};
    GioShell shell;
    Click(library, shell);

    EXPECT_EQ(test.events.progressAsks, 4);
    ASSERT_EQ(seen.size(), 3u);
    const std::vector<int> shownFiles = {1, 4, 5};
    for (size_t i = 0; i < seen.size(); ++i) {
        const int file = shownFiles[i];
        EXPECT_DOUBLE_EQ(seen[i].value, file * 20);
        EXPECT_EQ(seen[i].text,
                  QStringLiteral("Processing: ") + QFileInfo(paths[file - 1]).fileName());
        EXPECT_EQ(seen[i].rows, file - 1);
    }
    ASSERT_EQ(resultsGrid.ItemCount(), 5);
    for (int row = 1; row <= 5; ++row) {
        EXPECT_EQ(resultsGrid.ItemText(row), paths[row - 1]);
        EXPECT_EQ(resultsGrid.SubItem(row, 42), QFileInfo(paths[row - 1]).fileName());
    }
    EXPECT_EQ(resultsGrid.SubItem(2, 1), "AVI");
    EXPECT_TRUE(test.dialogs.Warnings().isEmpty())
        << test.dialogs.Warnings().join("\n").toStdString();
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_DOUBLE_EQ(progress.value(), 0);
    EXPECT_EQ(progress.text(), "Progress Bar");
    EXPECT_FALSE(running());
}

TEST_F(ExtractionRunTest, EmptyListLeavesAnEarlierGridAlone) {
    ResultsGrid grid(resultsGrid);
    grid.AppendColumn(QStringLiteral("File General - Size"));
    const int row = grid.AddRow(QStringLiteral("/earlier.mp4"));
    grid.SetCell(row, 53, QStringLiteral("1 kB"));
    Click();
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"No files added."});
    EXPECT_EQ(resultsGrid.ColumnCount(), 54);
    ASSERT_EQ(resultsGrid.ItemCount(), 1);
    EXPECT_EQ(resultsGrid.SubItem(1, 53), "1 kB");
    EXPECT_EQ(test.events.count, 0);
    EXPECT_FALSE(running());
}

TEST_F(ExtractionRunTest, DetailColumnsAreAppendedAsMetAndResetByTheNextRun) {
    const QString first = MediaPath(QStringLiteral("h264-aac.mp4"));
    const QString second = MediaPath(QStringLiteral("mpeg4-mp3.avi"));
    Add(first);
    Add(second);
    ScriptedShell shell;
    ScriptedShell::Folder& folder = shell.folders[QStringLiteral(QUORVID_TEST_MEDIA_DIR "/")];
    folder.headers = {{0, "Name"}, {1, "Title"}, {2, "Rating"}, {3, "Rating"}};
    folder.items[first] = {{0, "h264-aac"}, {1, "First"}};
    folder.items[second] = {{0, "mpeg4-mp3"}, {1, "Second"}, {2, "low"}, {3, "high"}, {9, "x"}};
    MediaInfoLibrary library{QString{}};
    Click(library, shell);

    EXPECT_EQ(
        Headers().mid(kCatalogueColumnCount),
        (QStringList{"File General - Title", "File General - Rating", "File General - Others"}));
    EXPECT_EQ(resultsGrid.SubItem(1, 53), "First");
    EXPECT_EQ(resultsGrid.SubItem(2, 53), "Second");
    // Met at the second file: empty in the first row; the higher slot wins a shared column.
    EXPECT_TRUE(resultsGrid.SubItem(1, 54).isEmpty());
    EXPECT_EQ(resultsGrid.SubItem(2, 54), "high");
    EXPECT_EQ(resultsGrid.SubItem(2, 55), "x");

    // The next run starts again from the catalogue and no rows.
    folder.headers = {{0, "Name"}, {4, "Album"}};
    folder.items[first] = {{4, "Holiday"}};
    inputList.ClearItems();
    Add(first);
    Click(library, shell);
    EXPECT_EQ(Headers().mid(kCatalogueColumnCount), QStringList{"File General - Album"});
    ASSERT_EQ(resultsGrid.ItemCount(), 1);
    EXPECT_EQ(resultsGrid.SubItem(1, 53), "Holiday");
    EXPECT_EQ(test.dialogs.Messages(), (QStringList{"Done.", "Done."}));
}

TEST_F(ExtractionRunTest, FailingStepsAreReportedInStepOrderAndTheRunGoesOn) {
    QTemporaryDir folder;
    const QString vanished = folder.filePath(QStringLiteral("vanished.mp4"));
    Add(vanished);
    Add(MediaPath(QStringLiteral("h264-aac.mp4")));
    QTemporaryDir empty;
    MediaInfoLibrary missing(empty.path(), false);
    ScriptedShell shell;
    shell.folders[folder.path() + QStringLiteral("/")];
    Click(missing, shell);

    // Each source of each file is reported once: the library at its first step,
    // the vanished file's item, and the second file's folder, unknown to this shell.
    const std::vector<int> expected = {step::extract::kNewHandle, step::extract::kGetFile,
                                       step::extract::kNewHandle, step::extract::kOpenShellFolder};
    EXPECT_EQ(ReportedSteps(test.dialogs), expected);

    const QString report = test.dialogs.Warnings().front();
    EXPECT_TRUE(report.contains(QStringLiteral("libmediainfo.so.0")));
    EXPECT_TRUE(
        report.contains(QStringLiteral("\r\nin Quorvidex2021/08/31.Form1.PushButton2_Click ") +
                        test::AtLine(step::extract::kNewHandle) + QStringLiteral("\r\r")));
    EXPECT_EQ(test.dialogs.shown.front().title, "Application Error");

    ASSERT_EQ(resultsGrid.ItemCount(), 2);
    EXPECT_EQ(resultsGrid.ItemText(1), vanished);
    EXPECT_TRUE(resultsGrid.SubItem(1, 42).isEmpty());
    EXPECT_EQ(resultsGrid.SubItem(2, 42), "h264-aac.mp4");
    EXPECT_TRUE(resultsGrid.SubItem(2, 1).isEmpty());
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_FALSE(running());
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
}

TEST_F(ExtractionRunTest, ThirtyVanishedFilesGiveAtMostTwentyOneReportsThenDone) {
    QTemporaryDir folder;
    for (int file = 1; file <= 30; ++file) {
        Add(folder.filePath(QStringLiteral("vanished %1.mp4").arg(file)));
    }
    QTemporaryDir empty;
    MediaInfoLibrary missing(empty.path(), false);
    ScriptedShell shell;
    Click(missing, shell);
    const QStringList reports = test.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 21);
    EXPECT_TRUE(reports.last().contains(QStringLiteral("more failures were not shown")));
    EXPECT_EQ(resultsGrid.ItemCount(), 30);
    // The summary comes before the run's last word.
    EXPECT_EQ(test.dialogs.shown.back().text, QStringLiteral("Done."));
    EXPECT_FALSE(running());
}

TEST_F(ExtractionRunTest, WhatOtherCommandsDoBetweenTwoFiles) {
    for (int i = 0; i < 3; ++i) {
        Add(MediaPath(QStringLiteral("h264-aac.mp4")));
    }
    MediaInfoLibrary library{QString{}};
    GioShell shell;
    test.events.onYield = [&](int yield) {
        if (yield == 1) {
            // Entries added now are not part of this run; the bar divides by the new count.
            Add(MediaPath(QStringLiteral("vp8-silent.webm")));
        }
        if (yield == 2) {
            EXPECT_DOUBLE_EQ(progress.value(), 50);
            // A second click while running changes nothing and shows nothing.
            const size_t shown = test.dialogs.shown.size();
            Click(library, shell);
            EXPECT_EQ(test.dialogs.shown.size(), shown);
            EXPECT_TRUE(running());
            EXPECT_EQ(resultsGrid.ItemCount(), 1);
            // The results grid's "Clear List" at a yield: the run goes on appending.
            resultsGrid.ClearItems();
            // An entry that leaves the list before its turn gets no row.
            inputList.RemoveItem(4);
            inputList.RemoveItem(3);
        }
    };
    Click(library, shell);
    EXPECT_EQ(test.events.count, 2);
    ASSERT_EQ(resultsGrid.ItemCount(), 1);
    EXPECT_EQ(resultsGrid.SubItem(1, 1), "MPEG-4");
    EXPECT_EQ(ReportedSteps(test.dialogs), std::vector<int>{step::extract::kReadPath});
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_FALSE(running());
}

TEST_F(ExtractionRunTest, HelpersGiveTheRowsAndReportsOfTheOneThreadRun) {
    for (const char* name :
         {"h264-aac.mp4", "mpeg4-mp3.avi", "clip with spaces.mkv", "vidéo ñ.mov", "vp8-silent.webm",
          "audio-only.m4a", "empty.mp4", "not-a-video.mp4", "h264-aac.mp4"}) {
        Add(MediaPath(QString::fromUtf8(name)));
    }
    QTemporaryDir folder;
    Add(folder.filePath(QStringLiteral("vanished.mp4")));
    Click();  // reads every file once, so that their access times stay put from here on
    Outcome();

    Click();
    const QStringList oneThread = Outcome();
    Click(RealHelpers());
    const QStringList helpers = Outcome();
    EXPECT_EQ(helpers, oneThread);
    EXPECT_TRUE(oneThread.contains(QStringLiteral("64 pixels")));
    EXPECT_TRUE(test::ChildPids().empty());
}

TEST_F(ExtractionRunTest, FilesOnWhichTheLibraryLoopsOrRunsOutOfMemoryCostOnlyTheirLibraryCells) {
    // Damaged copies of the test media: the library never finishes the first
    // and the third; on the second it takes memory without end, until an
    // allocation fails under the helpers' ceiling (lowered here, to be reached
    // at once).
    const QStringList damaged = {MediaPath(QStringLiteral("damaged/looping-1.webm")),
                                 MediaPath(QStringLiteral("damaged/eats-memory-1.mp4")),
                                 MediaPath(QStringLiteral("damaged/looping-2.mov"))};
    Add(MediaPath(QStringLiteral("h264-aac.mp4")));
    for (const QString& path : damaged) {
        Add(path);
    }
    Add(MediaPath(QStringLiteral("vp8-silent.webm")));
    // Long enough for the memory to be taken on a busy machine, where the
    // allocations make no progress the watchdog can see.
    ExtractorPoolOptions helpers = RealHelpers(std::chrono::seconds(8));
    helpers.memoryLimitBytes = 512ULL * 1024 * 1024;
    Click(helpers);

    EXPECT_EQ(ReportedSteps(test.dialogs),
              (std::vector<int>{step::extract::kOpenFile, step::extract::kOpenFile,
                                step::extract::kOpenFile}));
    const QStringList reports = test.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 3);
    const QString hung = "The metadata library did not finish reading this file within 8 seconds.";
    EXPECT_TRUE(reports[0].startsWith(hung + "\r\n")) << reports[0].toStdString();
    EXPECT_TRUE(reports[1].startsWith(
        "The metadata library ran out of memory while reading this file.\r\n"))
        << reports[1].toStdString();
    EXPECT_TRUE(reports[2].startsWith(hung + "\r\n")) << reports[2].toStdString();
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    ASSERT_EQ(resultsGrid.ItemCount(), 5);
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(resultsGrid.ItemText(row), damaged[row - 2]);
        for (int k = 1; k <= 41; ++k) {
            EXPECT_TRUE(resultsGrid.SubItem(row, k).isEmpty()) << row << " " << k;
        }
        EXPECT_EQ(resultsGrid.SubItem(row, 42), QFileInfo(damaged[row - 2]).fileName());
        EXPECT_FALSE(CellUnder(row, QStringLiteral("File General - Content type")).isEmpty());
    }
    EXPECT_EQ(resultsGrid.SubItem(1, 16), "64 pixels");
    EXPECT_EQ(resultsGrid.SubItem(5, 9), "V_VP8");
    EXPECT_FALSE(running());
    EXPECT_TRUE(test::ChildPids().empty());
}

TEST_F(ExtractionRunTest, HelpersReadThePathThatIsInTheListWhenItsTurnComes) {
    QTemporaryDir folder;
    for (const char* name : {"first.mp4", "second.mp4", "third.mp4"}) {
        Add(folder.filePath(QString::fromLatin1(name)));
    }
    const QString replacement = folder.filePath(QStringLiteral("replacement.mp4"));
    test.events.onYield = [&](int yield) {
        if (yield == 2) {
            inputList.SetItemText(3, replacement);  // already sent ahead as third.mp4
        }
    };
    ExtractorPoolOptions scripted;
    scripted.program = QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR);
    Click(scripted);
    ASSERT_EQ(resultsGrid.ItemCount(), 3);
    EXPECT_EQ(resultsGrid.SubItem(2, 42), folder.filePath(QStringLiteral("second.mp4")));
    EXPECT_EQ(resultsGrid.ItemText(3), replacement);
    EXPECT_EQ(resultsGrid.SubItem(3, 1), QStringLiteral("library read ") + replacement);
    EXPECT_EQ(resultsGrid.SubItem(3, 42), replacement);
    EXPECT_EQ(test.events.count, 3);
}

TEST_F(ExtractionRunTest, HelpersThatCannotConfineThemselvesAreReportedOnceAndTheWindowReads) {
    QTemporaryDir folder;
    const QString refusing = folder.filePath(QStringLiteral("refusing-extractor"));
    QFile::link(QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR), refusing);
    Add(MediaPath("h264-aac.mp4"));
    Add(MediaPath("mpeg4-mp3.avi"));
    ExtractorPoolOptions helpers;
    helpers.program = refusing;
    Click(helpers);
    const QStringList warnings = test.dialogs.Warnings();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings.front().startsWith(
        QStringLiteral("The extraction helpers cannot confine themselves (the filter could not "
                       "be installed), so the window reads the files itself, unconfined.")))
        << warnings.front().toStdString();
    EXPECT_TRUE(warnings.front().contains(test::AtLine(step::extract::kCountFiles)));
    // Read here, with the real library, not by the scripted helper.
    ASSERT_EQ(resultsGrid.ItemCount(), 2);
    EXPECT_EQ(resultsGrid.SubItem(1, 1), QStringLiteral("MPEG-4"));
}

}  // namespace
}  // namespace quorvid
