#include <gtest/gtest.h>

#include "core/export/ClipboardExport.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/report/ProcedureLocations.h"
#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"

namespace quorvid::test {
namespace {

const QString kCopiedMessage = QStringLiteral(
    "Results have been copied to the clipboard.\r\rClick a text area where you normally type and "
    "press Ctrl+V to paste the clipboard.");

// A clipboard that another program holds for the first few attempts.
class BusyClipboard : public Clipboard {
  public:
    explicit BusyClipboard(int refusals) : refusalsLeft(refusals) {}
    bool Clear() override {
        return Attempt([&] { text.clear(); });
    }
    bool SetText(const QString& value) override {
        return Attempt([&] { text = value; });
    }
    QString Text() const override { return text; }

    template <typename Change>
    bool Attempt(Change&& change) {
        ++attempts;
        if (refusalsLeft != 0) {
            refusalsLeft -= refusalsLeft > 0 ? 1 : 0;
            return false;
        }
        change();
        return true;
    }
    int refusalsLeft;  // -1 refuses every attempt
    int attempts = 0;
    QString text = QStringLiteral("held");
};

class ClipboardExportTest : public ExportTest {
  protected:
    void Copy() { CopyResultsToClipboardCommand(context); }
};

TEST_F(ClipboardExportTest, CopiesCheckedRowsWithWidthsFromTheCellsOnly) {
    FillGrid(grid, {"A very long header", "BBB"}, {{"x", "yy"}, {"long", ""}});
    Copy();
    EXPECT_EQ(platform.clipboard.text, QStringLiteral("x   \tyy\t\r\nlong\t  \t\r\n"));
    EXPECT_EQ(platform.dialogs.Messages(), QStringList{kCopiedMessage});
    EXPECT_TRUE(platform.dialogs.Warnings().empty());

    grid.AddItem(QStringLiteral("an unchecked row that is wider"));
    grid.SetChecked(3, false);
    Copy();
    EXPECT_EQ(platform.clipboard.text, QStringLiteral("x                             \tyy\t\r\n"
                                                      "long                          \t  \t\r\n"));
}

TEST_F(ClipboardExportTest, TabsAndLineBreaksInCellsBecomeBlanks) {
    FillGrid(grid, {"A", "B"}, {{"/v/two\nlines.mp4", "x"}, {"/v/a.mp4", "tab\there\r\n"}});
    Copy();
    EXPECT_EQ(platform.clipboard.text, QStringLiteral("/v/two lines.mp4\tx         \t\r\n"
                                                      "/v/a.mp4        \ttab here  \t\r\n"));
}

TEST_F(ClipboardExportTest, EmptyGridLeavesTheClipboardAloneAndNoCheckedRowEmptiesIt) {
    FillGrid(grid, {"A", "B"}, {});
    Copy();
    EXPECT_EQ(platform.clipboard.text, QStringLiteral("(earlier clipboard)"));
    EXPECT_EQ(platform.clipboard.clearAttempts + platform.clipboard.setAttempts, 0);
    EXPECT_EQ(platform.dialogs.Messages(), QStringList{kCopiedMessage});

    grid.AddItem(QStringLiteral("x"));
    grid.SetChecked(1, false);
    Copy();
    EXPECT_EQ(platform.clipboard.text, QString());
    EXPECT_EQ(platform.clipboard.setAttempts, 1);
}

TEST_F(ClipboardExportTest, RetriesABusyClipboardUpToAThousandAttempts) {
    BusyClipboard briefly(5);
    EXPECT_TRUE(SetClipboardText(briefly, QStringLiteral("new")));
    EXPECT_EQ(briefly.attempts, 6);
    EXPECT_EQ(briefly.text, QStringLiteral("new"));

    BusyClipboard locked(-1);
    EXPECT_FALSE(ClearClipboard(locked));
    EXPECT_EQ(locked.attempts, 1000);
    EXPECT_FALSE(SetClipboardText(locked, QStringLiteral("new")));
    EXPECT_EQ(locked.attempts, 2000);
    EXPECT_EQ(locked.text, QStringLiteral("held"));

    // Nothing is reported and the user still gets the message.
    platform.platform.clipboard = &locked;
    FillGrid(grid, {"A"}, {{"x"}});
    Copy();
    EXPECT_TRUE(platform.dialogs.Warnings().empty());
    EXPECT_EQ(platform.dialogs.Messages(), QStringList{kCopiedMessage});
}

TEST_F(ClipboardExportTest, GridClearedDuringTheCopyIsReportedOnceAndTheMessageFollows) {
    FillGrid(grid, {"A", "B"}, {{"a", "1"}, {"b", "2"}, {"c", "3"}});
    platform.events.onYield = [&](int count) {
        if (count == 4) {
            grid.ClearItems();
        }
    };
    Copy();
    EXPECT_EQ(platform.clipboard.text, QStringLiteral("(earlier clipboard)"));
    const QStringList reports = platform.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(location::kPushButton4));
    EXPECT_EQ(platform.dialogs.Messages(), QStringList{kCopiedMessage});
}

}  // namespace
}  // namespace quorvid::test
