#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/pool/ExtractionFeed.h"

namespace quorvid {

class MediaInfoLibrary;

// Extraction on worker threads of this process, one per core.
class ThreadedExtractionFeed : public ExtractionFeed {
  public:
    ThreadedExtractionFeed(MediaInfoLibrary& library, int workerCount);
    // Waits for the files being read; queued ones are dropped.
    ~ThreadedExtractionFeed() override;

    void Add(const QString& path) override;
    std::optional<FileExtraction> TakeNext(std::chrono::milliseconds wait) override;

  private:
    void Work();

    MediaInfoLibrary& library_;
    std::mutex mutex_;
    std::condition_variable jobAdded_;
    std::condition_variable extractionDone_;
    std::deque<std::pair<quint64, QString>> jobs_;
    std::map<quint64, FileExtraction> done_;
    quint64 nextToQueue_ = 0;
    quint64 nextToTake_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace quorvid
