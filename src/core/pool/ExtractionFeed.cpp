#include "core/pool/ExtractionFeed.h"

#include <algorithm>

#include "core/extraction/FileExtractor.h"

namespace quorvid {

namespace {

// Files sent ahead per helper. A file that takes its helper long holds back the
// rows after it, not the other helpers: they read on for this many files each.
constexpr int kFilesAheadPerHelper = 16;
// Records that wait behind a slow file are held in memory; past this many
// characters no more files are sent ahead until the slow one is taken.
constexpr qsizetype kMostWaitingCharacters = 8 * 1024 * 1024;

bool CanRead(const ExtractorPool* pool) {
    return pool != nullptr && pool->helperCount() > 0 && !pool->IsBroken();
}

}  // namespace

ExtractionFeed::ExtractionFeed(ExtractorPool* helpers, const FileExtractor& inProcess,
                               PathAt pathAt, int lastPosition)
    : pool_(CanRead(helpers) ? helpers : nullptr),
      inProcess_(inProcess),
      pathAt_(std::move(pathAt)),
      lastPosition_(lastPosition),
      depth_(pool_ != nullptr
                 ? std::max(pool_->helperCount() * kFilesAheadPerHelper, 2 * pool_->capacity())
                 : 0) {}

ExtractionFeed::~ExtractionFeed() {
    CancelSentAhead();
}

FileExtraction ExtractionFeed::Take(int position, const QString& path) {
    return *TakeBefore(position, path, QDeadlineTimer(QDeadlineTimer::Forever));
}

std::optional<FileExtraction> ExtractionFeed::Take(int position, const QString& path,
                                                   std::chrono::milliseconds wait) {
    return TakeBefore(position, path, QDeadlineTimer(wait));
}

std::optional<FileExtraction> ExtractionFeed::TakeBefore(int position, const QString& path,
                                                         QDeadlineTimer deadline) {
    if (pool_ != nullptr) {
        const ExtractorPool::Ticket ticket = TicketFor(position, path);
        SendAhead(position + depth_);
        if (std::optional<FileExtraction> record = pool_->Take(ticket, deadline)) {
            sent_.erase(position);
            return record;
        }
        if (!pool_->IsBroken()) {
            return std::nullopt;
        }
        CancelSentAhead();
        pool_ = nullptr;
    }
    return inProcess_.Extract(path);
}

ExtractorPool::Ticket ExtractionFeed::TicketFor(int position, const QString& path) {
    // Entries passed over (they left the list) are no longer wanted.
    while (!sent_.empty() && sent_.begin()->first < position) {
        pool_->Cancel(sent_.begin()->second.ticket);
        sent_.erase(sent_.begin());
    }
    auto ahead = sent_.find(position);
    if (ahead != sent_.end() && ahead->second.path != path) {
        pool_->Cancel(ahead->second.ticket);
        sent_.erase(ahead);
        ahead = sent_.end();
    }
    if (ahead == sent_.end()) {
        ahead = sent_.emplace(position, SentAhead{path, pool_->Submit(path, true)}).first;
    }
    nextPosition_ = std::max(nextPosition_, position + 1);
    return ahead->second.ticket;
}

void ExtractionFeed::SendAhead(int upTo) {
    if (pool_->WaitingCharacters() > kMostWaitingCharacters) {
        return;
    }
    for (; nextPosition_ <= std::min(upTo, lastPosition_); ++nextPosition_) {
        const std::optional<QString> path = pathAt_(nextPosition_);
        if (!path) {
            return;
        }
        sent_.emplace(nextPosition_, SentAhead{*path, pool_->Submit(*path)});
    }
}

void ExtractionFeed::CancelSentAhead() {
    if (pool_ != nullptr) {
        for (const auto& [position, sent] : sent_) {
            pool_->Cancel(sent.ticket);
        }
    }
    sent_.clear();
}

}  // namespace quorvid
