#include "core/pool/ProgressWatchdog.h"

#include <algorithm>

#include "core/pool/HelperProcess.h"

namespace quorvid {

ProgressWatchdog::ProgressWatchdog(const HelperProcess& helper, int slot,
                                   std::chrono::milliseconds allowed, int deadlineInAllowances)
    : helper_(helper), slot_(slot), allowed_(allowed), deadlineInAllowances_(deadlineInAllowances) {
    // Looks often enough that a file is given up soon after its time is over.
    timer_.setInterval(std::max(std::chrono::milliseconds(1), allowed_ / 8));
    connect(&timer_, &QTimer::timeout, this, &ProgressWatchdog::Check);
}

void ProgressWatchdog::FileBegan() {
    // A helper still loading its libraries is given their time on top.
    const auto startup = helper_.isReady() ? std::chrono::milliseconds(0) : kHelperStartupAllowance;
    deadline_.setRemainingTime(allowed_ * deadlineInAllowances_ + startup);
    Progressed();
}

void ProgressWatchdog::Progressed() {
    sinceProgress_.start();
    if (!timer_.isActive()) {
        timer_.start();
    }
}

void ProgressWatchdog::Stop() {
    timer_.stop();
}

void ProgressWatchdog::Check() {
    if (deadline_.hasExpired()) {
        timer_.stop();
        emit expired(HelperBreakdown::Overdue);
        return;
    }
    if (const ExtractionJournal* journal = helper_.journal(slot_)) {
        const std::uint32_t progress = journal->Progress();
        if (progress != journalProgress_) {
            journalProgress_ = progress;
            sinceProgress_.start();
            return;
        }
    }
    const auto allowed = helper_.isReady() ? allowed_ : std::max(allowed_, kHelperStartupAllowance);
    if (sinceProgress_.hasExpired(allowed.count())) {
        timer_.stop();
        emit expired(HelperBreakdown::Silent);
    }
}

}  // namespace quorvid
