#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/input/SampleFiles.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/files/PathExists.h"
#include "support/FolderTree.h"
#include "support/InputListSupport.h"
#include "support/TestPlatform.h"

namespace quorvid {
namespace {

using test::MakeSample;
using test::Snapshot;

TEST(SampleFiles, SnapshotRecordsTheSampleFolderJoinedWithBars) {
    test::TestPlatform test;
    BuildSampleSnapshot(test.platform);
    EXPECT_EQ(Snapshot(test), QString());  // no folder

    QDir().mkpath(test.folder.filePath(QStringLiteral("Samples")));
    BuildSampleSnapshot(test.platform);
    EXPECT_EQ(Snapshot(test), QString());  // an empty one

    const QString first = MakeSample(test, QStringLiteral("one.mp4"));
    const QString second = MakeSample(test, QStringLiteral(".two.avi"));
    QDir().mkpath(test.folder.filePath(QStringLiteral("Samples/not-a-sample")));
    BuildSampleSnapshot(test.platform);
    QStringList recorded = Snapshot(test).split(QLatin1Char('|'));
    recorded.sort();
    EXPECT_EQ(recorded, QStringList({second, first}));
    EXPECT_EQ(first, test.folder.path() + QStringLiteral("/Samples/one.mp4"));
}

TEST(SampleFiles, LoadingAddsOnlyExistingUnlistedSamplesAndAlwaysAsks) {
    test::TestPlatform test;
    const QString kept = MakeSample(test, QStringLiteral("kept.mp4"));
    const QString other = MakeSample(test, QStringLiteral("Other.mkv"));
    const QString gone = test.folder.filePath(QStringLiteral("Samples/gone.avi"));
    test.settings->SaveSetting(QStringLiteral("Snapshot"),
                               QStringList({kept, gone, other}).join(QLatin1Char('|')));
    ListViewModel list(false);
    list.AddItem(test.folder.filePath(QStringLiteral("Samples/other.mkv")));  // other case
    test.dialogs.yesNoAnswers = {false, true};

    AddSampleFiles(test.platform, list);
    EXPECT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.ItemText(2), kept);
    EXPECT_EQ(list.ItemText(3), other);
    EXPECT_TRUE(test.urls.opened.empty());

    AddSampleFiles(test.platform, list);
    EXPECT_EQ(list.ItemCount(), 3);
    ASSERT_EQ(test.urls.opened.size(), 1u);
    EXPECT_EQ(test.urls.opened[0],
              QUrl::fromLocalFile(test.folder.path() + QStringLiteral("/Samples/")));

    ASSERT_EQ(test.dialogs.shown.size(), 2u);
    for (const auto& shown : test.dialogs.shown) {
        EXPECT_EQ(shown.kind, test::ScriptedDialogs::Kind::YesNo);
        EXPECT_EQ(shown.text,
                  QStringLiteral("Would you like this software to open the folder where these "
                                 "sample files are stored (so that you can view them before "
                                 "working with them)?"));
    }

    // Without a recorded list nothing is added, and the question still comes.
    test::TestPlatform fresh;
    ListViewModel empty(false);
    AddSampleFiles(fresh.platform, empty);
    EXPECT_EQ(empty.ItemCount(), 0);
    EXPECT_EQ(fresh.dialogs.shown.size(), 1u);
}

TEST(SampleFiles, ExistenceAndListTests) {
    test::TestPlatform test;
    const QString sample = MakeSample(test, QStringLiteral("a.mp4"));
    EXPECT_TRUE(PathExists(sample));
    EXPECT_TRUE(PathExists(test.folder.filePath(QStringLiteral("Samples"))));
    EXPECT_FALSE(PathExists(sample + QStringLiteral("x")));
    EXPECT_FALSE(PathExists(QString()));

    ListViewModel list(false);
    list.AddItem(QStringLiteral("/v/A.mp4"));
    list.AddItem(QStringLiteral("/v/b.mp4"));
    EXPECT_TRUE(IsInList(list, QStringLiteral("/v/b.mp4")));
    EXPECT_FALSE(IsInList(list, QStringLiteral("/v/a.mp4")));
    EXPECT_FALSE(IsInList(list, QStringLiteral("/v/b.mp4 ")));
}

}  // namespace
}  // namespace quorvid
