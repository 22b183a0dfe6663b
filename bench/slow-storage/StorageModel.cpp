#include "StorageModel.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace slow {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

// How often a waiting request looks whether it is still awaited: a killed
// reader is let go within this time.
constexpr auto kPoll = std::chrono::milliseconds(5);

microseconds Milliseconds(double ms) {
    return microseconds(static_cast<std::int64_t>(ms * 1000));
}

}  // namespace

StorageModel::StorageModel(const ModelSettings& settings, RequestCounters& counters,
                           std::function<bool()> abandoned)
    : settings_(settings), counters_(counters), abandoned_(std::move(abandoned)) {}

bool StorageModel::Serve(Request kind) {
    counters_.Count(kind);
    if (Stalls()) {
        return false;
    }
    if (settings_.kind == ModelSettings::Kind::Share) {
        return Pass(Milliseconds(settings_.delayMs));
    }
    // Closing a file read-only writes nothing: the disk is not asked.
    if (kind == Request::Release) {
        return true;
    }
    return ServeOnDisk(Waiter{});
}

bool StorageModel::ServeRead(HeadPosition from, std::uint64_t bytes) {
    counters_.Count(Request::Read);
    counters_.AddBytes(bytes);
    if (Stalls()) {
        return false;
    }
    if (settings_.kind == ModelSettings::Kind::Share) {
        return Pass(Milliseconds(settings_.delayMs));
    }
    return ServeOnDisk(Waiter{from, true, bytes});
}

bool StorageModel::Stalls() {
    if (settings_.stallAfter < 0 || received_.fetch_add(1) < settings_.stallAfter) {
        return false;
    }
    counters_.AddStalled();
    while (!abandoned_()) {
        std::this_thread::sleep_for(kPoll);
    }
    counters_.AddInterrupted();
    return true;
}

// Lets work go by, unless the request is abandoned first.
bool StorageModel::Pass(microseconds work) {
    counters_.AddWork(static_cast<std::uint64_t>(work.count()));
    const Clock::time_point done = Clock::now() + work;
    for (Clock::time_point now = Clock::now(); now < done; now = Clock::now()) {
        if (abandoned_()) {
            counters_.AddInterrupted();
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(done - now, kPoll));
    }
    return true;
}

bool StorageModel::ServeOnDisk(const Waiter& request) {
    bool abandoned = false;
    const microseconds work = TakeHead(request, abandoned);
    if (abandoned) {
        counters_.AddInterrupted();
        return false;
    }
    const bool answered = Pass(work);
    {
        std::lock_guard lock(headMutex_);
        working_ = false;
    }
    headFree_.notify_all();
    return answered;
}

// Waits for the head and moves it: the work the request costs from where it was.
microseconds StorageModel::TakeHead(const Waiter& request, bool& abandoned) {
    std::unique_lock lock(headMutex_);
    waiting_.push_back(&request);
    while (working_ || NextInLine() != &request) {
        if (abandoned_()) {
            waiting_.remove(&request);
            lock.unlock();
            headFree_.notify_all();
            abandoned = true;
            return {};
        }
        headFree_.wait_for(lock, kPoll);
    }
    waiting_.remove(&request);
    working_ = true;
    microseconds work{0};
    if (!request.read) {
        return work;
    }
    if (request.target != head_) {
        work += Milliseconds(settings_.seekMs);
        counters_.AddSeek(true);
    }
    work += microseconds(static_cast<std::int64_t>(static_cast<double>(request.bytes) /
                                                   settings_.megabytesPerSecond));
    head_ = HeadPosition{request.target.file, request.target.offset + request.bytes};
    return work;
}

// As a disk's scheduler does: the read that continues where the head is goes
// first, then the oldest request. Readahead sends a file's next pieces side by
// side, and they would otherwise cost a seek each for arriving out of order.
const StorageModel::Waiter* StorageModel::NextInLine() const {
    for (const Waiter* waiter : waiting_) {
        if (waiter->read && waiter->target == head_) {
            return waiter;
        }
    }
    return waiting_.empty() ? nullptr : waiting_.front();
}

}  // namespace slow
