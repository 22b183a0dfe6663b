#include "core/pool/ThreadedExtractionFeed.h"

#include <algorithm>

#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"

namespace quorvid {

ThreadedExtractionFeed::ThreadedExtractionFeed(MediaInfoLibrary& library, int workerCount)
    : library_(library) {
    const int count = std::max(1, workerCount);
    for (int i = 0; i < count; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

ThreadedExtractionFeed::~ThreadedExtractionFeed() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    jobAdded_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void ThreadedExtractionFeed::Add(const QString& path) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.emplace_back(nextToQueue_++, path);
    }
    jobAdded_.notify_one();
}

std::optional<FileExtraction> ThreadedExtractionFeed::TakeNext(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (!extractionDone_.wait_for(lock, wait, [&] { return done_.contains(nextToTake_); })) {
        return std::nullopt;
    }
    auto found = done_.find(nextToTake_++);
    FileExtraction extraction = std::move(found->second);
    done_.erase(found);
    return extraction;
}

void ThreadedExtractionFeed::Work() {
    GioShell shell;
    const FileExtractor extractor(library_, shell);
    std::unique_lock lock(mutex_);
    while (true) {
        jobAdded_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (stopping_) {
            return;
        }
        auto [index, path] = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        FileExtraction extraction = extractor.Extract(path);
        lock.lock();
        done_.emplace(index, std::move(extraction));
        extractionDone_.notify_all();
    }
}

}  // namespace quorvid
