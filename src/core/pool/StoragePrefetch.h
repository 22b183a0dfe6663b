#pragma once

#include <QString>
#include <memory>

namespace quorvid {

// Reads the next files of a storage into the page cache, one after another,
// while the readers parse the files before them: a single head then streams
// one file at a time instead of seeking between the readers, and reading
// overlaps parsing though only one file is read at once.
//
// Its thread only reads bytes, never parses them, and gives up a file on a
// storage that stops answering as its readers do: it may stay blocked in it,
// but nothing waits for it, not even this object's end.
class StoragePrefetch {
  public:
    StoragePrefetch();
    ~StoragePrefetch();
    StoragePrefetch(const StoragePrefetch&) = delete;
    StoragePrefetch& operator=(const StoragePrefetch&) = delete;

    // Queues a file to be read ahead, once; files asked for long ago and not
    // yet read are dropped first.
    void Want(const QString& path);

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace quorvid
