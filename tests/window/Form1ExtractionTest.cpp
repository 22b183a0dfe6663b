#include <gtest/gtest.h>

#include <QDir>
#include <QProgressBar>
#include <QPushButton>

#include "support/ExtractTestSupport.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/ListViewControl.h"

namespace quorvid {
namespace {

TEST(Form1Extraction, StartButtonRunsTheExtractionOnTheWindowsLists) {
    const QString startFolder = QDir::currentPath();
    test::TestPlatform test;
    Form1 window(test.platform);
    window.Form_Load();
    const QString path = test::MediaPath(QStringLiteral("mpeg4-mp3.avi"));
    window.ListView1Items().AddItem(path);
    QString barText;
    test.events.onYield = [&](int) { barText = window.ProgressBar1->format(); };

    window.PushButton(2)->click();
    QDir::setCurrent(startFolder);

    EXPECT_EQ(barText, "Processing: mpeg4-mp3.avi");
    ASSERT_EQ(window.ListView2Items().ItemCount(), 1);
    EXPECT_EQ(window.ListView2Items().ItemText(1), path);
    EXPECT_EQ(window.ListView2Items().SubItem(1, 1), "AVI");
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_EQ(window.ProgressBar1->value(), 0);
    EXPECT_EQ(window.ProgressBar1->format(), "Progress Bar");
    EXPECT_FALSE(window.ExtractionRunning());
    EXPECT_EQ(window.MousePointer(), 0);
}

// The results grid's "Clear List" in the middle of a run: the rows that follow
// fill the grid, and its view shows every one of them when the run ends.
TEST(Form1Extraction, ResultsClearListMidRunLeavesTheViewWithTheRowsThatFollow) {
    const QString startFolder = QDir::currentPath();
    test::TestPlatform test;
    Form1 window(test.platform);
    window.Form_Load();
    const QStringList paths = {test::MediaPath(QStringLiteral("h264-aac.mp4")),
                               test::MediaPath(QStringLiteral("mpeg4-mp3.avi")),
                               test::MediaPath(QStringLiteral("vp8-silent.webm"))};
    for (const QString& path : paths) {
        window.ListView1Items().AddItem(path);
    }
    window.ShowCentred();
    test.events.onYield = [&](int yield) {
        if (yield == 2) {
            window.PushButton(6)->click();
        }
    };

    window.PushButton(2)->click();
    QDir::setCurrent(startFolder);

    const ListViewModel& grid = window.ListView2Items();
    ASSERT_EQ(grid.ItemCount(), 2);
    EXPECT_EQ(grid.ItemText(1), paths[1]);
    EXPECT_EQ(grid.ItemText(2), paths[2]);
    EXPECT_EQ(grid.SubItem(1, 1), "AVI");
    const QAbstractItemModel& shown = *window.ListView2->model();
    ASSERT_EQ(shown.rowCount(), 2);
    EXPECT_EQ(shown.data(shown.index(1, 0)).toString(), paths[2]);
    EXPECT_TRUE(window.ListView2->visualRect(shown.index(1, 0)).isValid());
    EXPECT_EQ(test.dialogs.Messages(), QStringList{"Done."});
    EXPECT_FALSE(window.ExtractionRunning());
    EXPECT_EQ(window.MousePointer(), 0);
}

}  // namespace
}  // namespace quorvid
