#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

#include "core/pool/StoragePrefetch.h"

namespace quorvid {
namespace {

// The share of a file's pages in the page cache, without reading it (or
// dating its last access: a mapping would).
double CachedShare(const QString& path) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    struct stat status {};
    fstat(fd, &status);
    void* const map = mmap(nullptr, status.st_size, PROT_READ, MAP_SHARED, fd, 0);
    const long page = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident((status.st_size + page - 1) / page);
    mincore(map, status.st_size, resident.data());
    munmap(map, status.st_size);
    close(fd);
    qsizetype cached = 0;
    for (const unsigned char flags : resident) {
        cached += flags & 1;
    }
    return static_cast<double>(cached) / static_cast<double>(resident.size());
}

// Writes the file and asks the system to drop it from the cache.
QString UncachedFile(const QTemporaryDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(4 * 1024 * 1024, 'q'));
    file.close();
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    return path;
}

// When the file was last read, as the row shows it.
qint64 AccessSeconds(const QString& path) {
    struct stat status {};
    stat(QFile::encodeName(path).constData(), &status);
    return status.st_atim.tv_sec;
}

TEST(StoragePrefetchTest, ReadsFilesIntoTheCacheAndNeverWaitsOnAPipe) {
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("pipe.mp4"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString first = UncachedFile(folder, QStringLiteral("a.mp4"));
    const QString second = UncachedFile(folder, QStringLiteral("b.mp4"));
    const QString empty = folder.filePath(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    // Last read two days ago: a read would date it now.
    for (const QString& file : {first, second, empty}) {
        const timespec times[2] = {{time(nullptr) - 2 * 86400, 0}, {0, UTIME_OMIT}};
        utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0);
    }
    const qint64 lastRead = AccessSeconds(empty);
    if (CachedShare(first) > 0.5) {
        GTEST_SKIP() << "this file system keeps the files in memory";
    }

    StoragePrefetch prefetch;
    // A pipe nobody writes would block a reader that opened it.
    prefetch.Want(fifo);
    prefetch.Want(empty);
    prefetch.Want(first);
    prefetch.Want(second);
    QElapsedTimer waited;
    waited.start();
    while (CachedShare(second) < 1.0 && waited.elapsed() < 20000) {
        QThread::msleep(20);
    }
    EXPECT_EQ(CachedShare(first), 1.0);
    EXPECT_EQ(CachedShare(second), 1.0);
    // Reading ahead leaves the dates of the row alone: nothing is read of an
    // empty file, and the others are read without dating their access where
    // the system lets (as the files' owner).
    EXPECT_EQ(AccessSeconds(empty), lastRead);
    EXPECT_EQ(AccessSeconds(second), lastRead);
}

}  // namespace
}  // namespace quorvid
