#include "core/pool/StorageConcurrency.h"

#include <algorithm>

namespace quorvid {

namespace {

// A change must read this much faster to be kept: the pace of a few files
// is noisy.
constexpr double kBetter = 1.15;
// Fewer files at once are kept where they read at least this share of the
// best pace: within the noise, and never sliding far below the best.
constexpr double kAsFast = 0.87;
// A settled count is tried again after this many windows: storage warms up,
// shares get busy.
constexpr int kWindowsBetweenProbes = 12;
// The fewest files a pace is measured over.
constexpr int kWindowFiles = 8;

}  // namespace

StorageConcurrency::StorageConcurrency(int processors, int most)
    : processors_(std::max(1, processors)), most_(std::max(1, most)) {}

int StorageConcurrency::StartFor(Storage::Kind kind) const {
    switch (kind) {
        case Storage::Kind::SpinningDisk:
            return 1;
        case Storage::Kind::Network:
            return std::min(most_, 4 * processors_);
        default:
            return std::min(most_, processors_);
    }
}

int StorageConcurrency::Limit(const Storage& storage) {
    auto pace = paces_.find(storage.device);
    if (pace == paces_.end()) {
        Pace start;
        start.limit = start.bestLimit = StartFor(storage.kind);
        pace = paces_.insert(storage.device, start);
    }
    return pace->limit;
}

void StorageConcurrency::Completed(const QString& device, double seconds) {
    Pace& pace = paces_[device];
    lastDevice_ = device;
    pace.timeoutsInARow = 0;
    // The files begun under the count before are not this count's pace.
    if (pace.draining > 0) {
        --pace.draining;
        pace.windowStart = -1;
        return;
    }
    if (pace.windowStart < 0) {
        pace.windowStart = seconds;
        return;
    }
    ++pace.windowFiles;
    const double elapsed = seconds - pace.windowStart;
    if (pace.windowFiles < std::max(kWindowFiles, pace.limit) || elapsed <= 0) {
        return;
    }
    const int before = pace.limit;
    EndWindow(pace, pace.windowFiles / elapsed);
    pace.windowFiles = 0;
    pace.windowStart = seconds;
    if (pace.limit != before) {
        pace.draining = before;
    }
}

void StorageConcurrency::EndWindow(Pace& pace, double rate) {
    if (pace.direction == 0) {
        if (pace.bestRate == 0 || ++pace.settledWindows >= kWindowsBetweenProbes) {
            // The first pace at the start, or a settled count tried again:
            // fewer first, as a single head reads best at one stream and a
            // share loses little in a window at half its count.
            pace.bestRate = rate;
            pace.bestLimit = pace.limit;
            pace.settledWindows = 0;
            pace.turned = false;
            Try(pace, pace.limit / 2, -1);
        }
        return;
    }
    // Fewer files that read as fast are kept too: one head reads no faster at
    // four streams than at eight, only at one.
    const bool kept =
        pace.direction > 0 ? rate > pace.bestRate * kBetter : rate >= pace.bestRate * kAsFast;
    if (!kept) {
        Turn(pace);
        return;
    }
    pace.bestRate = std::max(pace.bestRate, rate);
    pace.bestLimit = pace.limit;
    Try(pace, pace.direction > 0 ? pace.limit * 2 : pace.limit / 2, pace.direction);
}

// Tries limit going in direction, where there is room for it; turns otherwise.
void StorageConcurrency::Try(Pace& pace, int limit, int direction) {
    pace.direction = direction;
    if (limit >= 1 && limit <= most_ && limit != pace.bestLimit) {
        pace.limit = limit;
        return;
    }
    Turn(pace);
}

// Back to the best count, then the other way once; settled after that.
void StorageConcurrency::Turn(Pace& pace) {
    pace.limit = pace.bestLimit;
    if (pace.turned) {
        pace.direction = 0;
        return;
    }
    pace.turned = true;
    const int other = -pace.direction;
    Try(pace, other > 0 ? pace.bestLimit * 2 : pace.bestLimit / 2, other);
}

void StorageConcurrency::TimedOut(const QString& device) {
    ++paces_[device].timeoutsInARow;
}

bool StorageConcurrency::Answering(const QString& device) const {
    const auto pace = paces_.find(device);
    return pace == paces_.end() || pace->timeoutsInARow < kTimeoutsToGiveUp;
}

QString StorageConcurrency::Said() const {
    const auto pace = paces_.find(lastDevice_);
    if (pace == paces_.end()) {
        return {};
    }
    return FilesAtOnce(pace->limit);
}

QString StorageConcurrency::FilesAtOnce(int count) {
    return count == 1 ? QStringLiteral("1 file at once")
                      : QStringLiteral("%1 files at once").arg(count);
}

}  // namespace quorvid
