#pragma once

#include <QString>
#include <chrono>
#include <optional>

#include "core/extraction/FileExtraction.h"

namespace quorvid {

// Extracts queued paths, possibly several at once, and hands the extractions
// back in the order the paths were queued.
class ExtractionFeed {
  public:
    virtual ~ExtractionFeed() = default;
    // Queues a path behind the ones queued before.
    virtual void Add(const QString& path) = 0;
    // The extraction of the oldest path not yet taken, or nothing when it is not
    // ready within the wait.
    virtual std::optional<FileExtraction> TakeNext(std::chrono::milliseconds wait) = 0;
};

}  // namespace quorvid
