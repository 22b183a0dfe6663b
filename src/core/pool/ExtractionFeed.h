#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include "core/extraction/FileExtraction.h"
#include "core/pool/ExtractorPool.h"

namespace quorvid {

class FileExtractor;

// Hands out the records of a list's entries in list order. With helpers, it
// sends them the entries ahead of the one taken, so that every helper has work
// while the caller writes rows. Without helpers, or once they break down (no
// helper starts any more), each file is read here, on the calling thread, when
// its turn comes.
class ExtractionFeed {
  public:
    // The path at a position of the list now; nothing when there is none.
    using PathAt = std::function<std::optional<QString>(int position)>;

    // helpers: a started pool, or none; one that did not start counts as none.
    ExtractionFeed(ExtractorPool* helpers, const FileExtractor& inProcess, PathAt pathAt,
                   int lastPosition);
    // What was sent ahead and not taken is no longer wanted.
    ~ExtractionFeed();
    ExtractionFeed(const ExtractionFeed&) = delete;
    ExtractionFeed& operator=(const ExtractionFeed&) = delete;

    // The record of the entry at position, whose path is now path; positions
    // rise from call to call. When the path sent ahead is another (the list
    // changed), path is read instead. Waiting turns this thread's event loop.
    FileExtraction Take(int position, const QString& path);
    // The same, waiting at most wait for a helper: nothing when the record has
    // not come by then; ask again for the same position.
    std::optional<FileExtraction> Take(int position, const QString& path,
                                       std::chrono::milliseconds wait);

  private:
    struct SentAhead {
        QString path;
        ExtractorPool::Ticket ticket;
    };

    std::optional<FileExtraction> TakeBefore(int position, const QString& path,
                                             QDeadlineTimer deadline);
    ExtractorPool::Ticket TicketFor(int position, const QString& path);
    void SendAhead(int upTo);
    void CancelSentAhead();

    ExtractorPool* pool_;
    const FileExtractor& inProcess_;
    PathAt pathAt_;
    int lastPosition_;
    int depth_;
    int nextPosition_ = 1;
    std::map<int, SentAhead> sent_;
};

}  // namespace quorvid
