#include "core/pool/StoragePrefetch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvid {

namespace {

// As much of a file as the readers ask ahead for themselves.
constexpr qint64 kPrefetchBytes = 8 * 1024 * 1024;
constexpr size_t kBufferBytes = 256 * 1024;
// Files waiting to be read ahead; the readers have passed older ones.
constexpr size_t kMostWaiting = 8;
// Files remembered as asked for, so that a file is read ahead once.
constexpr size_t kRemembered = 64;

// Opens path for reading only when it is a regular file with bytes in it:
// opening a device or a pipe may do something, or block.
int OpenRegularFile(const QByteArray& path) {
    const int handle = open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) {
        return -1;
    }
    struct stat status {};
    int fd = -1;
    // An empty file has nothing to read ahead, and reading it would date its
    // last access, which the library's reading does not.
    if (fstat(handle, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        // The same file, not whatever the name means by now; its time of last
        // access left as the library's reading makes it, where the system lets.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle);
        fd = open(self.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NOATIME);
        if (fd < 0 && errno == EPERM) {
            fd = open(self.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        }
    }
    close(handle);
    return fd;
}

}  // namespace

struct StoragePrefetch::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> waiting;
    std::deque<QByteArray> asked;
    bool stopping = false;

    void Run() {
        const std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
        for (;;) {
            QByteArray path;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stopping || !waiting.empty(); });
                if (stopping) {
                    return;
                }
                path = waiting.front();
                waiting.pop_front();
            }
            ReadAhead(path, buffer.get());
        }
    }

    void ReadAhead(const QByteArray& path, char* buffer) {
        const int fd = OpenRegularFile(path);
        if (fd < 0) {
            return;
        }
        for (qint64 read = 0; read < kPrefetchBytes;) {
            const ssize_t got = ::read(fd, buffer, kBufferBytes);
            if (got <= 0 || Stopping()) {
                break;
            }
            read += got;
        }
        close(fd);
    }

    bool Stopping() {
        const std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }
};

StoragePrefetch::StoragePrefetch() : shared_(std::make_shared<Shared>()) {
    // Detached: a read from a storage that stopped answering must not hold up
    // the end of a run; the thread keeps what it uses alive itself.
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

StoragePrefetch::~StoragePrefetch() {
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_one();
}

void StoragePrefetch::Want(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        auto& asked = shared_->asked;
        if (std::find(asked.begin(), asked.end(), name) != asked.end()) {
            return;
        }
        asked.push_back(name);
        if (asked.size() > kRemembered) {
            asked.pop_front();
        }
        shared_->waiting.push_back(name);
        if (shared_->waiting.size() > kMostWaiting) {
            shared_->waiting.pop_front();
        }
    }
    shared_->wake.notify_one();
}

}  // namespace quorvid
