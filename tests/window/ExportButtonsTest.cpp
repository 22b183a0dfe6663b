#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

#include "support/ExportTestSupport.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"

namespace quorvid::test {
namespace {

// The three export buttons of the window, over the test platform.
TEST(ExportButtons, ReachTheirCommandsAndClearListCanRunInTheMiddleOfASave) {
    TestPlatform test;
    Form1 window(test.platform);
    window.Form_Load();
    ListViewModel& grid = window.ListView2Items();
    for (const char* path : {"/v/a.mp4", "/v/b.mp4", "/v/c.mp4"}) {
        grid.SetSubItem(grid.AddItem(QString::fromUtf8(path)), 1, QStringLiteral("MPEG-4"));
    }

    window.PushButton(4)->click();
    EXPECT_TRUE(test.clipboard.text.startsWith(QStringLiteral("/v/a.mp4\tMPEG-4\t\t")));
    EXPECT_EQ(test.clipboard.text.count(QStringLiteral("\r\n")), 3);

    window.PushButton(9)->click();
    ASSERT_EQ(test.spreadsheet.workbooks.size(), 1u);
    EXPECT_EQ(test.spreadsheet.workbooks[0]->cells.size(), 53u * 4u);
    EXPECT_TRUE(window.SaveResultsAsExcelFileIsExcelInstalled());

    // "Clear List" is clicked while the second row is being written: no file.
    const QString path = test.folder.filePath(QStringLiteral("results.txt"));
    test.dialogs.saveAnswers.push_back(path);
    bool cleared = false;
    test.events.onYield = [&](int) {
        if (!cleared && window.Progress().value() > 60) {
            cleared = true;
            window.PushButton(6)->click();
        }
    };
    window.PushButton(8)->click();
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_EQ(test.dialogs.Warnings().size(), 1);
    EXPECT_TRUE(test.dialogs.Warnings()[0].contains(QStringLiteral("not saved")));
    EXPECT_EQ(grid.ItemCount(), 0);
    EXPECT_EQ(window.MousePointer(), 0);
    EXPECT_EQ(window.ProgressBar1->format(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.ProgressBar1->value(), 0);
}

}  // namespace
}  // namespace quorvid::test
