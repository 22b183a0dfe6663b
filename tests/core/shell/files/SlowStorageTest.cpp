// The slow file system the storage benchmark mounts: what it serves, what it
// counts, and that a storage that stops answering lets its readers go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <thread>
#include <vector>

#include "support/FolderTree.h"
#include "support/SlowStorage.h"

namespace quorvid::test {
namespace {

// Bytes that differ from one position to the next, so a misplaced piece shows.
QByteArray Pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    quint32 state = 2463534242u + static_cast<quint32>(seed);
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    return bytes;
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SlowStorageTest, DiskReadsAFileInOrderAtOneSeekAndKeepsItsPagesOverOpens) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    const QByteArray content = Pattern(1000000, 1);
    tree.file(QStringLiteral("clips/a.bin"), content);
    SlowStorage disk(tree.root(), SlowStorage::Disk(8, 100));
    ASSERT_TRUE(disk.mounted()) << disk.error().toStdString();

    EXPECT_EQ(ReadWhole(disk.filePath(QStringLiteral("clips/a.bin"))), content);
    const SlowStorage::Counters first = disk.CountersNow();
    EXPECT_EQ(first.at(QStringLiteral("read_seeks")), 1);
    EXPECT_EQ(first.at(QStringLiteral("bytes")), content.size());
    // Each seek 8 ms, and a megabyte at 100 MB/s 10 ms.
    EXPECT_NEAR(first.at(QStringLiteral("work_ms")), 8 * first.at(QStringLiteral("seeks")) + 10, 1);

    // Opened again unchanged, the file is read from the page cache.
    EXPECT_EQ(ReadWhole(disk.filePath(QStringLiteral("clips/a.bin"))), content);
    const SlowStorage::Counters last = disk.Unmount();
    EXPECT_EQ(last.at(QStringLiteral("read")), first.at(QStringLiteral("read")));
    EXPECT_EQ(last.at(QStringLiteral("bytes")), content.size());
    EXPECT_GT(last.at(QStringLiteral("open")), first.at(QStringLiteral("open")));
}

TEST(SlowStorageTest, ShareAnswersRequestsSideBySide) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    constexpr int kParallel = 8;
    std::vector<QByteArray> contents;
    for (int i = 0; i <= kParallel; ++i) {
        contents.push_back(Pattern(300000, i));
        tree.file(QStringLiteral("f%1").arg(i), contents.back());
    }
    SlowStorage share(tree.root(), SlowStorage::Share(100));
    ASSERT_TRUE(share.mounted()) << share.error().toStdString();

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ReadWhole(share.filePath(QStringLiteral("f0"))), contents[0]);
    const qint64 oneMs = clock.restart();
    std::vector<QByteArray> read(kParallel + 1);
    std::vector<std::thread> readers;
    for (int i = 1; i <= kParallel; ++i) {
        readers.emplace_back(
            [&, i] { read[i] = ReadWhole(share.filePath(QStringLiteral("f%1").arg(i))); });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    const qint64 allMs = clock.elapsed();
    for (int i = 1; i <= kParallel; ++i) {
        EXPECT_EQ(read[i], contents[i]) << "f" << i;
    }
    EXPECT_LT(allMs, 2 * oneMs) << "one file " << oneMs << " ms, " << kParallel << " at once";

    const SlowStorage::Counters counters = share.Unmount();
    EXPECT_EQ(counters.at(QStringLiteral("bytes")), (kParallel + 1) * 300000);
    EXPECT_EQ(counters.at(QStringLiteral("seeks")), 0);
    // Waits that overlapped: they add up to far more than the time they took.
    EXPECT_GT(counters.at(QStringLiteral("work_ms")), 3 * (oneMs + allMs));
}

// As an NFS client after READDIRPLUS, the kernel knows a listed folder's
// files: looking at them asks nothing more.
TEST(SlowStorageTest, ListingAFolderSparesTheLookupsOfItsFiles) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    for (int i = 0; i < 30; ++i) {
        tree.file(QStringLiteral("clips/clip-%1.mp4").arg(i), Pattern(100 + i, i));
    }
    SlowStorage share(tree.root(), SlowStorage::Share(1));
    ASSERT_TRUE(share.mounted()) << share.error().toStdString();

    const QStringList names = QDir(share.filePath(QStringLiteral("clips"))).entryList(QDir::Files);
    ASSERT_EQ(names.size(), 30);
    const SlowStorage::Counters listed = share.CountersNow();
    for (const QString& name : names) {
        EXPECT_EQ(QFileInfo(share.filePath(QStringLiteral("clips/") + name)).size(),
                  100 + name.mid(5).chopped(4).toInt());
    }
    const SlowStorage::Counters looked = share.Unmount();
    EXPECT_EQ(looked.at(QStringLiteral("lookup")), listed.at(QStringLiteral("lookup")));
    // One answer holds the folder, and the question past its end costs nothing.
    EXPECT_EQ(looked.at(QStringLiteral("readdir")), 1);
}

// A share that stops answering: a reader killed while it waits goes away at
// once, one left waiting gets an error when the storage is unmounted, and
// unmounting ends the program.
TEST(SlowStorageTest, StalledShareLetsItsReadersGoAndUnmounts) {
    SKIP_WITHOUT_FUSE();
    FolderTree tree;
    tree.file(QStringLiteral("a.bin"), Pattern(1000, 2));
    SlowStorage share(
        tree.root(),
        SlowStorage::Share(1) + QStringList{QStringLiteral("--stall-after"), QStringLiteral("0")});
    ASSERT_TRUE(share.mounted()) << share.error().toStdString();
    const QString path = share.filePath(QStringLiteral("a.bin"));

    QProcess killed;
    killed.start(QStringLiteral("cat"), {path});
    QProcess waiting;
    waiting.start(QStringLiteral("cat"), {path});
    ASSERT_TRUE(killed.waitForStarted() && waiting.waitForStarted());
    ASSERT_FALSE(killed.waitForFinished(500));
    killed.kill();
    EXPECT_TRUE(killed.waitForFinished(3000));
    EXPECT_EQ(waiting.state(), QProcess::Running);

    QElapsedTimer clock;
    clock.start();
    const SlowStorage::Counters counters = share.Unmount();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(waiting.waitForFinished(3000));
    EXPECT_NE(waiting.exitCode(), 0);
    EXPECT_EQ(counters.at(QStringLiteral("stalled")), 2);
    EXPECT_EQ(counters.at(QStringLiteral("interrupted")), 2);
}

}  // namespace
}  // namespace quorvid::test
