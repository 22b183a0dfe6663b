#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/pool/StorageConcurrency.h"
#include "core/pool/StorageMap.h"

namespace quorvid {
namespace {

// A storage that reads files at rate(limit) a second, read until its count
// settles; returns the count it settled on.
int SettledCount(StorageConcurrency& concurrency, const Storage& storage,
                 const std::function<double(int)>& rate, int files = 2000) {
    double seconds = 0;
    for (int file = 0; file < files; ++file) {
        seconds += 1.0 / rate(concurrency.Limit(storage));
        concurrency.Completed(storage.device, seconds);
    }
    return concurrency.Limit(storage);
}

Storage StorageOfKind(const char* device, Storage::Kind kind) {
    Storage storage;
    storage.device = QString::fromLatin1(device);
    storage.kind = kind;
    return storage;
}

TEST(StorageConcurrencyTest, TheCountFollowsWhatEachStorageAnswers) {
    StorageConcurrency concurrency(2, 64);
    // A share answers many requests side by side, up to 40 here.
    const Storage share = StorageOfKind("0:50", Storage::Kind::Network);
    EXPECT_EQ(concurrency.Limit(share), 8);
    EXPECT_GE(SettledCount(concurrency, share, [](int n) { return 10.0 * std::min(n, 40); }), 32);

    // One head: a second stream makes every read a seek.
    const Storage disk = StorageOfKind("8:16", Storage::Kind::SpinningDisk);
    EXPECT_EQ(SettledCount(concurrency, disk, [](int n) { return n == 1 ? 30.0 : 12.0; }), 1);

    // A disk behind FUSE looks like a share at first; its pace brings it down,
    // though only one stream reads faster than several.
    const Storage fuseDisk = StorageOfKind("0:51", Storage::Kind::Network);
    EXPECT_EQ(SettledCount(concurrency, fuseDisk, [](int n) { return n == 1 ? 30.0 : 10.0; }), 1);

    // Where reading costs nothing, the processors are the bound.
    const Storage memory = StorageOfKind("0:30", Storage::Kind::Memory);
    EXPECT_EQ(SettledCount(concurrency, memory, [](int n) { return 100.0 * std::min(n, 2); }), 2);
    EXPECT_EQ(concurrency.Said(), QStringLiteral("2 files at once"));

    // Each storage keeps its own count.
    EXPECT_EQ(concurrency.Limit(disk), 1);
    EXPECT_GE(concurrency.Limit(share), 32);
}

TEST(StorageConcurrencyTest, NeverMoreThanTheReadersThereAre) {
    StorageConcurrency concurrency(2, 6);
    const Storage share = StorageOfKind("0:50", Storage::Kind::Network);
    EXPECT_EQ(concurrency.Limit(share), 6);
    EXPECT_EQ(SettledCount(concurrency, share, [](int n) { return 10.0 * n; }), 6);
    EXPECT_EQ(StorageConcurrency::FilesAtOnce(1), QStringLiteral("1 file at once"));
}

TEST(StorageConcurrencyTest, AStorageStopsAnsweringAfterTimeoutsInARowOnly) {
    StorageConcurrency concurrency(2, 16);
    EXPECT_TRUE(concurrency.Answering(QStringLiteral("0:50")));
    for (int i = 1; i < StorageConcurrency::kTimeoutsToGiveUp; ++i) {
        concurrency.TimedOut(QStringLiteral("0:50"));
    }
    // A file that is read in between shows it still answers.
    concurrency.Completed(QStringLiteral("0:50"), 1.0);
    concurrency.TimedOut(QStringLiteral("0:50"));
    EXPECT_TRUE(concurrency.Answering(QStringLiteral("0:50")));
    for (int i = 1; i < StorageConcurrency::kTimeoutsToGiveUp; ++i) {
        concurrency.TimedOut(QStringLiteral("0:50"));
    }
    EXPECT_FALSE(concurrency.Answering(QStringLiteral("0:50")));
    EXPECT_TRUE(concurrency.Answering(QStringLiteral("8:1")));
}

TEST(StorageMapTest, AFileIsOnTheLongestMountPointAboveIt) {
    const QByteArray mountInfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:21 / /proc rw - proc proc rw\n"
        "30 22 0:30 / /tmp rw shared:5 - tmpfs tmpfs rw\n"
        "40 22 0:40 / /mnt/nas rw - nfs4 nas:/archive rw,vers=4.2\n"
        "41 22 8:17 / /media/old\\040disk rw - ext4 /dev/sdb1 rw\n"
        "42 40 0:42 / /mnt/nas/inner rw - fuse.sshfs host: rw\n"
        "broken line\n"
        "50 22 0:50 / /mnt/nasty rw shared:9 - cifs //pc/share rw\n";
    const StorageMap map(mountInfo, [](const QString& device) { return device == "8:17"; });

    const auto kindOf = [&](const char* path) {
        return map.StorageOf(QString::fromUtf8(path)).kind;
    };
    EXPECT_EQ(kindOf("/home/a/clip.mp4"), Storage::Kind::LocalDisk);
    EXPECT_EQ(kindOf("/tmp/clip.mp4"), Storage::Kind::Memory);
    EXPECT_EQ(kindOf("/mnt/nas/clip.mp4"), Storage::Kind::Network);
    EXPECT_EQ(kindOf("/media/old disk/clip.mp4"), Storage::Kind::SpinningDisk);
    EXPECT_EQ(map.StorageOf(QStringLiteral("/mnt/nas/inner/a.mp4")).fileSystem,
              QStringLiteral("fuse.sshfs"));
    // A mount point is a whole folder name, not a prefix of one.
    EXPECT_EQ(map.StorageOf(QStringLiteral("/mnt/nasty/a.mp4")).device, QStringLiteral("0:50"));
    EXPECT_EQ(map.StorageOf(QStringLiteral("/mnt/nas2/a.mp4")).device, QStringLiteral("8:1"));
    EXPECT_EQ(map.StorageOf(QStringLiteral("/media/old")).device, QStringLiteral("8:1"));
}

}  // namespace
}  // namespace quorvid
