#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/export/SpreadsheetExport.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/StepFailure.h"
#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"

namespace quorvid::test {
namespace {

using Cells = std::map<std::pair<int, int>, QString>;

const QString kMissing = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this software "
    "without error.");
const QString kMissingForFeature = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this feature.");

// A workbook that refuses some texts, as a real one refuses a text too long for a cell.
class RefusingSpreadsheet : public SpreadsheetProvider {
  public:
    struct Workbook : FakeSpreadsheet::Workbook {
        void SetCellText(int row, int column, const QString& text) override {
            if (text.startsWith(QStringLiteral("refused"))) {
                throw StepFailure(QStringLiteral("String too long"));
            }
            FakeSpreadsheet::Workbook::SetCellText(row, column, text);
        }
    };
    struct Application : SpreadsheetApplication {
        explicit Application(Workbook& workbook) : workbook(workbook) {}
        SpreadsheetWorkbook& AddWorkbook() override { return workbook; }
        void SetVisible(bool) override {}
        Workbook& workbook;
    };
    std::unique_ptr<SpreadsheetApplication> CreateApplication() override {
        return std::make_unique<Application>(workbook);
    }
    Workbook workbook;
};

class SpreadsheetExportTest : public ExportTest {
  protected:
    void Export() { SaveResultsAsSpreadsheetCommand(context); }
    const Cells& ExportedCells() const { return platform.spreadsheet.workbooks.at(0)->cells; }
};

TEST_F(SpreadsheetExportTest, EveryRowGoesUnderTheHeadersWithoutEqualsSignsFromColumnTwoOn) {
    FillGrid(
        grid, {"Video File/s", "A=B", "C"},
        {{"/v/=a.mp4", "a=b", "==="}, {"/v/b.mp4", "007", "=x=y="}, {"/v/c.mp4", "", "c\td\n"}});
    grid.SetChecked(2, false);
    std::vector<PointerShape> pointers;
    platform.events.onYield = [&](int) { pointers.push_back(pointer.value()); };

    Export();

    ASSERT_EQ(platform.spreadsheet.workbooks.size(), 1u);
    const Cells expected{{{1, 1}, "Video File/s"}, {{1, 2}, "A=B"}, {{1, 3}, "C"},
                         {{2, 1}, "/v/=a.mp4"},    {{2, 2}, "ab"},  {{2, 3}, ""},
                         {{3, 1}, "/v/b.mp4"},     {{3, 2}, "007"}, {{3, 3}, "xy"},
                         {{4, 1}, "/v/c.mp4"},     {{4, 2}, ""},    {{4, 3}, "c\td\n"}};
    EXPECT_EQ(ExportedCells(), expected);
    EXPECT_TRUE(platform.spreadsheet.workbooks[0]->autoFitted);
    EXPECT_TRUE(platform.spreadsheet.visible);
    // One yield per header, per row and per cell, all under the hourglass.
    EXPECT_EQ(pointers, std::vector<PointerShape>(3 + 3 + 9, MousePointerState::kHourglass));
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
    EXPECT_TRUE(platform.dialogs.shown.empty());
}

TEST_F(SpreadsheetExportTest, MissingApplicationGivesTwoMessagesAndNothingElse) {
    platform.spreadsheet.installed = false;
    for (const bool withRows : {false, true}) {
        platform.dialogs.shown.clear();
        if (withRows) {
            FillGrid(grid, {"A"}, {{"x"}});
        }
        Export();
        EXPECT_EQ(platform.dialogs.Messages(), QStringList({kMissing, kMissingForFeature}));
        EXPECT_TRUE(platform.dialogs.Warnings().empty());
        EXPECT_EQ(platform.events.count, 0);
    }
    EXPECT_TRUE(platform.spreadsheet.workbooks.empty());

    platform.spreadsheet.installed = true;
    EXPECT_TRUE(SaveResultsAsExcelFileIsExcelInstalled(platform.platform));
}

TEST_F(SpreadsheetExportTest, EmptyGridMakesNoWorkbookAndShowsNothing) {
    FillGrid(grid, {"A", "B"}, {});
    Export();
    EXPECT_EQ(platform.spreadsheet.created, 1);  // the installed test only
    EXPECT_TRUE(platform.spreadsheet.workbooks.empty());
    EXPECT_TRUE(platform.dialogs.shown.empty());
}

TEST_F(SpreadsheetExportTest, EachRefusedCellIsReportedAndTheOthersAreStillSet) {
    RefusingSpreadsheet refusing;
    platform.platform.spreadsheet = &refusing;
    FillGrid(grid, {"A", "B"}, {{"ok", "refused 1"}, {"refused 2", "fine"}});
    Export();
    const QStringList reports = platform.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 2);
    for (const QString& report : reports) {
        EXPECT_TRUE(report.startsWith(QStringLiteral("String too long\r\n")));
        EXPECT_TRUE(report.contains(location::kPushButton9));
    }
    const Cells expected{{{1, 1}, "A"}, {{1, 2}, "B"}, {{2, 1}, "ok"}, {{3, 2}, "fine"}};
    EXPECT_EQ(refusing.workbook.cells, expected);
    EXPECT_TRUE(refusing.workbook.autoFitted);
}

TEST_F(SpreadsheetExportTest, GridClearedDuringTheExportIsReportedOnce) {
    FillGrid(grid, {"A", "B"}, {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    platform.events.onYield = [&](int count) {
        if (count == 2 + 3 + 1) {  // the yield before the second row's first cell
            grid.ClearItems();
        }
    };
    Export();
    ASSERT_EQ(platform.dialogs.Warnings().size(), 1);
    const Cells expected{{{1, 1}, "A"}, {{1, 2}, "B"}, {{2, 1}, "a"}, {{2, 2}, "1"}};
    EXPECT_EQ(ExportedCells(), expected);
    EXPECT_TRUE(platform.spreadsheet.visible);
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
}

}  // namespace
}  // namespace quorvid::test
