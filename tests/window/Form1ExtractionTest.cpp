#include <gtest/gtest.h>

#include <QDir>
#include <QProgressBar>
#include <QPushButton>

#include "support/ExtractTestSupport.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"

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
    EXPECT_FALSE(window.ExtractionRunning);
    EXPECT_EQ(window.MousePointer(), 0);
}

}  // namespace
}  // namespace quorvid
