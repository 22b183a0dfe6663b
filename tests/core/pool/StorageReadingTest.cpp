// The pool reading from slow storage of the test's own: how many files it
// reads at once, and a storage that stops answering.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "core/extraction/FieldCatalogue.h"
#include "core/pool/ExtractorPool.h"
#include "support/FolderTree.h"
#include "support/SlowStorage.h"

namespace quorvid {
namespace {

using test::FolderTree;
using test::SlowStorage;

ExtractorPoolOptions RealHelpers(std::chrono::milliseconds watchdog) {
    ExtractorPoolOptions options;
    options.program = QStringLiteral(QUORVID_EXTRACTOR);
    options.watchdog = watchdog;
    return options;
}

// count copies of the test clip in folders of 20, each padded to size bytes
// so that reading one costs the storage more than one request.
QStringList Clips(FolderTree& tree, int count, int size) {
    QFile clip(QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4"));
    clip.open(QIODevice::ReadOnly);
    QByteArray content = clip.readAll();
    content.append(QByteArray(std::max<qsizetype>(0, size - content.size()), '\0'));
    QStringList relative;
    for (int i = 0; i < count; ++i) {
        relative << QStringLiteral("f%1/clip-%2.mp4").arg(i / 20).arg(i);
        tree.file(relative.back(), content);
    }
    return relative;
}

// The library's cells of each file, read in list order; the folder's own
// name taken out of them.
std::vector<QStringList> LibraryCells(ExtractorPool& pool, const QString& root,
                                      const QStringList& relative) {
    std::vector<ExtractorPool::Ticket> tickets;
    for (const QString& name : relative) {
        tickets.push_back(pool.Submit(root + u'/' + name));
    }
    std::vector<QStringList> rows;
    for (const ExtractorPool::Ticket ticket : tickets) {
        const std::optional<FileExtraction> record = pool.Take(ticket);
        QStringList cells;
        for (int cell = kFirstLibraryCell; record && cell < kFirstFileCell; ++cell) {
            cells << record->Cell(cell).replace(root, QStringLiteral("ROOT"));
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(StorageReadingTest, ManyFilesOfAShareAtOnceFewSeeksOnADiskAndTheSameCells) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    const QStringList relative = Clips(tree, 80, 1024 * 1024);
    ExtractorPool local(RealHelpers(std::chrono::seconds(60)));
    ASSERT_TRUE(local.Start());
    const std::vector<QStringList> expected = LibraryCells(local, tree.root(), relative);
    ASSERT_FALSE(expected.front().join(QString()).isEmpty());

    {
        SlowStorage share(tree.root(), SlowStorage::Share(20));
        ASSERT_TRUE(share.mounted()) << share.error().toStdString();
        ExtractorPool pool(RealHelpers(std::chrono::seconds(60)));
        ASSERT_TRUE(pool.Start());
        EXPECT_EQ(LibraryCells(pool, share.path(), relative), expected);
        // More than the processors, which a share leaves idle.
        const QString said = pool.ReadingSaid();
        EXPECT_GT(said.section(u' ', 0, 0).toInt(), QThread::idealThreadCount())
            << said.toStdString();
    }
    {
        // Several streams at once on one head must not turn every read into a
        // seek: a file's reads go out together.
        SlowStorage disk(tree.root(), SlowStorage::Disk(8, 200));
        ASSERT_TRUE(disk.mounted()) << disk.error().toStdString();
        ExtractorPool pool(RealHelpers(std::chrono::seconds(60)));
        ASSERT_TRUE(pool.Start());
        EXPECT_EQ(LibraryCells(pool, disk.path(), relative), expected);
        const SlowStorage::Counters counters = disk.Unmount();
        EXPECT_LE(counters.at(QStringLiteral("read_seeks")), 2 * relative.size())
            << pool.ReadingSaid().toStdString();
    }
}

TEST(StorageReadingTest, AShareThatStopsAnsweringCostsAFewTimeoutsAndOtherStorageGoesOn) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    const QStringList relative = Clips(tree, 40, 0);
    FolderTree localTree;
    const QStringList localRelative = Clips(localTree, 4, 0);
    SlowStorage share(
        tree.root(),
        SlowStorage::Share(1) + QStringList{QStringLiteral("--stall-after"), QStringLiteral("0")});
    ASSERT_TRUE(share.mounted()) << share.error().toStdString();
    constexpr auto kWatchdog = std::chrono::milliseconds(400);
    ExtractorPool pool(RealHelpers(kWatchdog));
    ASSERT_TRUE(pool.Start());

    QElapsedTimer clock;
    clock.start();
    std::vector<ExtractorPool::Ticket> tickets;
    for (const QString& name : relative) {
        tickets.push_back(pool.Submit(share.filePath(name)));
    }
    std::vector<ExtractorPool::Ticket> localTickets;
    for (const QString& name : localRelative) {
        localTickets.push_back(pool.Submit(localTree.path(name)));
    }
    int notAnswering = 0;
    for (const ExtractorPool::Ticket ticket : tickets) {
        const std::optional<FileExtraction> record = pool.Take(ticket);
        ASSERT_TRUE(record);
        ASSERT_FALSE(record->events().empty());
        const ExtractionEvent& failure = record->events().back();
        EXPECT_EQ(failure.kind, ExtractionEvent::Kind::Failure);
        notAnswering += failure.text.startsWith(
            QStringLiteral("The storage of this file is not answering: 3 files of it in a row were "
                           "not read within 0.4 seconds."));
    }
    // The files read at once when the third timed out, and those after them.
    EXPECT_GE(notAnswering, relative.size() - 3 * 8);
    for (const ExtractorPool::Ticket ticket : localTickets) {
        const std::optional<FileExtraction> record = pool.Take(ticket);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->Cell(kFirstLibraryCell), QStringLiteral("MPEG-4"));
    }
    // Not a timeout for each of its files.
    EXPECT_LT(clock.elapsed(), 20 * 400);
}

}  // namespace
}  // namespace quorvid
