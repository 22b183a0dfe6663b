#include <gtest/gtest.h>

#include "batch/BatchProgram.h"
#include "core/export/SpreadsheetExport.h"
#include "core/export/XlsxWorkbook.h"
#include "support/ExportTestSupport.h"
#include "support/WorkbookReading.h"

namespace quorvid {
namespace {

class WorkbookOutputTest : public testing::Test {
  protected:
    void SetUp() override {
        if (test::UnzipProgram().isEmpty()) {
            GTEST_SKIP() << "unzip is not installed; it reads the workbooks back";
        }
    }

    MediaFolder folder;
    QTemporaryDir target;
    const QString output = target.filePath(QStringLiteral("rows.xlsx"));
};

TEST_F(WorkbookOutputTest, TheWorkbookIsTheWindowsOfTheSameFolder) {
    WindowRun window(folder.root());
    SaveResultsAsSpreadsheetCommand(window.context);
    ASSERT_TRUE(window.test.dialogs.Warnings().isEmpty());
    ASSERT_EQ(window.test.spreadsheet.workbooks.size(), 1u);
    // What the window hands its spreadsheet application, as a file.
    const test::FakeSpreadsheet::Workbook& handed = *window.test.spreadsheet.workbooks[0];
    const QString windowWorkbook = target.filePath(QStringLiteral("window.xlsx"));
    {
        XlsxWorkbook workbook(windowWorkbook);
        for (const auto& [position, text] : handed.cells) {
            workbook.SetCellText(position.first, position.second, text);
        }
        if (handed.autoFitted) {
            workbook.AutoFitColumns();
        }
        workbook.Finish();
    }

    const Finished batch = RunBatch({QStringLiteral("--format"), QStringLiteral("xlsx"),
                                     QStringLiteral("-o"), output, folder.root()});
    EXPECT_EQ(batch.exitCode, 0) << batch.err.constData();
    EXPECT_TRUE(batch.out.isEmpty());
    const test::SheetContents sheet = test::ReadSheet(output);
    const test::SheetContents expected = test::ReadSheet(windowWorkbook);
    ASSERT_GT(window.resultsGrid.ItemCount(), 5);
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A1")), QStringLiteral("Video File/s"));
    EXPECT_GT(sheet.cells.size(), size_t(window.resultsGrid.ColumnCount()));
    EXPECT_EQ(sheet.cells, expected.cells);
    EXPECT_EQ(sheet.cellTypes, expected.cellTypes);
    EXPECT_EQ(sheet.widths, expected.widths);
}

TEST_F(WorkbookOutputTest, AWorkbookThatCannotBeWrittenLeavesTheOldFile) {
    test::WriteAll(output, "old workbook");
    // One row: its file name and row wait in less, the workbook's parts take more.
    const Finished run =
        RunBatch({QStringLiteral("-q"), QStringLiteral("--format=xlsx"), QStringLiteral("-o"),
                  output, folder.dir.filePath(QStringLiteral("h264-aac.mp4"))},
                 {}, WithFileSizeLimit(4096));
    EXPECT_EQ(run.exitCode, 2);
    // The workbook library adds lines of its own.
    const QByteArray said = run.err.mid(run.err.indexOf("quorvid-batch: "));
    EXPECT_TRUE(said.startsWith("quorvid-batch: the output was not written (")) << said.data();
    EXPECT_TRUE(said.contains(QFile::encodeName(output))) << said.constData();
    EXPECT_FALSE(said.contains("/proc/")) << said.constData();
    EXPECT_EQ(ReadAll(output), "old workbook");
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("rows.xlsx")});
}

}  // namespace
}  // namespace quorvid
