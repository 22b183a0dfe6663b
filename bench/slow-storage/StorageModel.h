#pragma once

// How long the slow storage takes to answer a request:
// - a share: every request waits the same delay, and requests are served side
//   by side, as a file server on a network does;
// - a disk: one head serves one request at a time. A read that continues
//   where the head stopped (same file, next offset) costs only its transfer;
//   any other read costs a seek first. Metadata requests wait their turn but
//   cost nothing and leave the head where it is: a system keeps a disk's inode
//   tables in its cache once read, and the seeks that cost are between data.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>

#include "RequestCounters.h"

namespace slow {

// Where the head stopped: a file (its inode; 0 for nowhere) and an offset in it.
struct HeadPosition {
    std::uint64_t file = 0;
    std::uint64_t offset = 0;
    bool operator==(const HeadPosition&) const = default;
};

struct ModelSettings {
    enum class Kind { Share, Disk };
    Kind kind = Kind::Share;
    double delayMs = 5;
    double seekMs = 8;
    double megabytesPerSecond = 100;
    // After this many requests none is answered any more; negative: never.
    long long stallAfter = -1;
};

class StorageModel {
  public:
    // abandoned says whether the request being served is no longer awaited (its
    // process was interrupted, or the file system is going away).
    StorageModel(const ModelSettings& settings, RequestCounters& counters,
                 std::function<bool()> abandoned);

    // Counts a request and waits as the storage would; false when the request
    // was abandoned meanwhile, or never answered as the storage stalled: the
    // caller answers EINTR then.
    bool Serve(Request kind);
    bool ServeRead(HeadPosition from, std::uint64_t bytes);

  private:
    struct Waiter {
        HeadPosition target;
        bool read = false;
        std::uint64_t bytes = 0;
    };

    bool Stalls();
    bool Pass(std::chrono::microseconds work);
    bool ServeOnDisk(const Waiter& request);
    std::chrono::microseconds TakeHead(const Waiter& request, bool& abandoned);
    const Waiter* NextInLine() const;

    const ModelSettings settings_;
    RequestCounters& counters_;
    const std::function<bool()> abandoned_;
    std::atomic<long long> received_{0};

    // The disk's head, and the requests waiting for it.
    std::mutex headMutex_;
    std::condition_variable headFree_;
    bool working_ = false;
    HeadPosition head_;
    std::list<const Waiter*> waiting_;
};

}  // namespace slow
