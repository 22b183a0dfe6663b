#pragma once

#include <QString>
#include <deque>
#include <utility>

#include "core/pool/ExtractionFeed.h"
#include "core/pool/ExtractorPool.h"

namespace quorvid {

class FileExtractor;

// Extraction in the sandboxed helper processes of the pool. Waiting turns this
// thread's event loop, which drives the pool. Should the pool break down (no
// helper starts any more), the rest is read here, as the window does.
class PoolExtractionFeed : public ExtractionFeed {
  public:
    PoolExtractionFeed(ExtractorPool& pool, const FileExtractor& fallback)
        : pool_(pool), fallback_(fallback) {}

    void Add(const QString& path) override;
    std::optional<FileExtraction> TakeNext(std::chrono::milliseconds wait) override;

  private:
    ExtractorPool& pool_;
    const FileExtractor& fallback_;
    std::deque<std::pair<ExtractorPool::Ticket, QString>> queued_;
};

}  // namespace quorvid
