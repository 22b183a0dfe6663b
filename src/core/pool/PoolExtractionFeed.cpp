#include "core/pool/PoolExtractionFeed.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include "core/extraction/FileExtractor.h"

namespace quorvid {

void PoolExtractionFeed::Add(const QString& path) {
    queued_.emplace_back(pool_.Submit(path), path);
}

std::optional<FileExtraction> PoolExtractionFeed::TakeNext(std::chrono::milliseconds wait) {
    const auto [ticket, path] = queued_.front();
    // The timer ends the wait for events in time when no helper speaks.
    QTimer wakeUp;
    wakeUp.start(wait);
    const QDeadlineTimer deadline(wait);
    while (!pool_.IsDone(ticket) && !pool_.IsBroken() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::optional<FileExtraction> extraction;
    if (pool_.IsDone(ticket)) {
        extraction = pool_.Take(ticket);
    } else if (pool_.IsBroken()) {
        pool_.Cancel(ticket);
        extraction = fallback_.Extract(path);
    } else {
        return std::nullopt;
    }
    queued_.pop_front();
    return extraction;
}

}  // namespace quorvid
