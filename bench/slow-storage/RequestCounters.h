#pragma once

// What the slow storage was asked and what answering cost, as one line of
// key=value pairs that benchmarks and tests read back.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace slow {

enum class Request {
    Lookup,  // lookups and getattr: the high-level API hands both over as getattr
    Open,
    Read,
    Readdir,
    Release,
    Getxattr,
    Listxattr,
    Statfs,
    Readlink,
    Access,
};
inline constexpr int kRequestKinds = 10;

class RequestCounters {
  public:
    void Count(Request kind) {
        requests_[static_cast<int>(kind)].fetch_add(1, std::memory_order_relaxed);
    }
    void AddBytes(std::uint64_t bytes) { bytes_.fetch_add(bytes, std::memory_order_relaxed); }
    void AddSeek(bool forRead) {
        seeks_.fetch_add(1, std::memory_order_relaxed);
        if (forRead) {
            readSeeks_.fetch_add(1, std::memory_order_relaxed);
        }
    }
    void AddWork(std::uint64_t microseconds) {
        workMicroseconds_.fetch_add(microseconds, std::memory_order_relaxed);
    }
    void AddStalled() { stalled_.fetch_add(1, std::memory_order_relaxed); }
    void AddInterrupted() { interrupted_.fetch_add(1, std::memory_order_relaxed); }

    // "requests=N lookup=N open=N read=N ... bytes=N seeks=N read_seeks=N
    // work_ms=N stalled=N interrupted=N", without a line end.
    std::string Line() const;
    // Replaces path with the line at once (a reader never sees half of it).
    bool WriteTo(const std::string& path) const;

  private:
    std::array<std::atomic<std::uint64_t>, kRequestKinds> requests_{};
    std::atomic<std::uint64_t> bytes_{0};
    std::atomic<std::uint64_t> seeks_{0};
    std::atomic<std::uint64_t> readSeeks_{0};
    std::atomic<std::uint64_t> workMicroseconds_{0};
    std::atomic<std::uint64_t> stalled_{0};
    std::atomic<std::uint64_t> interrupted_{0};
};

}  // namespace slow
