#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtractor.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractionFeed.h"
#include "core/pool/ExtractorPool.h"
#include "core/shell/report/ReportSteps.h"
#include "support/ExtractTestSupport.h"

namespace quorvid {
namespace {

using test::MediaPath;

class ExtractionFeedTest : public testing::Test {
  protected:
    static ExtractorPoolOptions ScriptedHelpers(int count = 2) {
        ExtractorPoolOptions options;
        options.program = QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR);
        options.helperCount = count;
        options.watchdog = std::chrono::milliseconds(500);
        return options;
    }

    // A feed over list, as it is when each entry's turn comes.
    ExtractionFeed FeedOver(ExtractorPool* pool, const QStringList& list) {
        return ExtractionFeed(
            pool, inProcess,
            [&list](int position) -> std::optional<QString> {
                if (position > list.size()) {
                    return std::nullopt;
                }
                return list[position - 1];
            },
            static_cast<int>(list.size()));
    }

    QTemporaryDir folder;
    MediaInfoLibrary library{QString{}};
    test::ScriptedShell shell;
    const FileExtractor inProcess{library, shell};
};

TEST_F(ExtractionFeedTest, RecordsComeInListOrderAndATimedWaitGivesNothingUntilTheirsHasCome) {
    // The helper never finishes with the library on the first file; its
    // watchdog gives up after half a second and the file facts are read
    // without it. The files after it are read meanwhile.
    QStringList list = {folder.filePath(QStringLiteral("loop.mp4"))};
    for (int i = 2; i <= 8; ++i) {
        list << folder.filePath(QStringLiteral("file-%1.mp4").arg(i));
    }
    ExtractorPool pool(ScriptedHelpers());
    ASSERT_TRUE(pool.Start());
    ExtractionFeed feed = FeedOver(&pool, list);
    EXPECT_FALSE(feed.Take(1, list[0], std::chrono::milliseconds(50)));
    std::optional<FileExtraction> record;
    for (int wait = 0; !record && wait < 100; ++wait) {
        record = feed.Take(1, list[0], std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(record);
    EXPECT_EQ(record->FailedSteps(), std::vector<int>{step::extract::kOpenFile});
    EXPECT_EQ(record->Cell(kFirstFileCell), list[0]);
    for (int position = 2; position <= list.size(); ++position) {
        const QString& path = list[position - 1];
        EXPECT_EQ(feed.Take(position, path).Cell(1), QStringLiteral("library read ") + path);
    }
}

TEST_F(ExtractionFeedTest, ReadsThePathThatIsAtThePositionNow) {
    QStringList list = {"/a.mp4", "/b.mp4", "/c.mp4", "/d.mp4"};
    ExtractorPool pool(ScriptedHelpers());
    ASSERT_TRUE(pool.Start());
    ExtractionFeed feed = FeedOver(&pool, list);
    EXPECT_EQ(feed.Take(1, list[0]).Cell(kFirstFileCell), "/a.mp4");
    // b and c were sent ahead; b was replaced and c removed since.
    list[1] = QStringLiteral("/replaced.mp4");
    list.removeAt(2);
    EXPECT_EQ(feed.Take(2, list[1]).Cell(kFirstFileCell), "/replaced.mp4");
    EXPECT_EQ(feed.Take(3, list[2]).Cell(kFirstFileCell), "/d.mp4");
}

TEST_F(ExtractionFeedTest, WithoutHelpersTheFilesAreReadHere) {
    const QStringList list = {MediaPath(QStringLiteral("h264-aac.mp4")),
                              MediaPath(QStringLiteral("vp8-silent.webm"))};
    ExtractionFeed withoutPool = FeedOver(nullptr, list);
    EXPECT_EQ(withoutPool.Take(1, list[0]).Cell(1), "MPEG-4");
    // A timed wait has nothing to wait for.
    const auto record = withoutPool.Take(2, list[1], std::chrono::milliseconds(0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Cell(1), "WebM");

    ExtractorPoolOptions missing = ScriptedHelpers();
    missing.program = folder.filePath(QStringLiteral("no-such-extractor"));
    ExtractorPool notStarted(missing);
    ASSERT_FALSE(notStarted.Start());
    EXPECT_EQ(FeedOver(&notStarted, list).Take(1, list[0]).Cell(1), "MPEG-4");
}

TEST_F(ExtractionFeedTest, WhenNoHelperStartsAnyMoreTheRestIsReadHere) {
    // The helper runs from a link that is gone once it has started: when it
    // crashes on the second file, no helper can take its place.
    const QString program = folder.filePath(QStringLiteral("vanishing-extractor"));
    ASSERT_TRUE(QFile::link(QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR), program));
    ExtractorPoolOptions options = ScriptedHelpers(1);
    options.program = program;
    options.watchdog = std::chrono::seconds(60);
    ExtractorPool pool(options);
    ASSERT_TRUE(pool.Start());
    ASSERT_TRUE(QFile::remove(program));

    const QString media = MediaPath(QStringLiteral("h264-aac.mp4"));
    QStringList list = {media, folder.filePath(QStringLiteral("crash.mp4"))};
    for (int i = 0; i < 6; ++i) {
        list << media;
    }
    ExtractionFeed feed = FeedOver(&pool, list);
    std::vector<FileExtraction> records;
    for (int position = 1; position <= list.size(); ++position) {
        records.push_back(feed.Take(position, list[position - 1]));
        EXPECT_EQ(records.back().path(), list[position - 1]) << position;
    }
    EXPECT_TRUE(pool.IsBroken());
    EXPECT_EQ(records.front().Cell(1), QStringLiteral("library read ") + media);
    // The last file was never sent to a helper that could start.
    EXPECT_EQ(records.back().Cell(1), "MPEG-4");
}

}  // namespace
}  // namespace quorvid
