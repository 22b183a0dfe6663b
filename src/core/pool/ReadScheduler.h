#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace quorvid {

// Decides which file goes to which reader and how many are read at once. Each
// helper runs readers in slots; a file waits in one queue, in list order, until
// its storage may have one more file in flight and a slot is free. Knows files
// by ticket, helpers by key and storages by device, and starts nothing itself.
class ReadScheduler {
  public:
    using Ticket = std::uint32_t;
    using HelperKey = const void*;
    struct Place {
        HelperKey helper;
        int slot;
    };
    struct Assignment {
        Ticket ticket;
        Place place;
    };

    void AddHelper(HelperKey helper, int readers);
    // The helper is gone; the files it was reading.
    std::vector<Ticket> RemoveHelper(HelperKey helper);

    // An urgent file goes before those already queued.
    void Enqueue(Ticket ticket, const QString& storage, bool urgent);
    // A file that was being read goes back before all others.
    void ReturnToFront(Ticket ticket);
    // Takes a file out of the queue; false when it was not queued.
    bool Unqueue(Ticket ticket);
    // Takes every queued file of a storage out of the queue, in order.
    std::vector<Ticket> UnqueueStorage(const QString& storage);

    // The files to start now, each in a free slot, the least busy helper
    // first, no storage beyond its limit. Tickets that are not wanted any more
    // are dropped.
    std::vector<Assignment> Assign(const std::function<bool(Ticket)>& wanted,
                                   const std::function<int(const QString& storage)>& limit);

    // The next count files of a storage in the queue, in order.
    std::vector<Ticket> QueuedOf(const QString& storage, int count) const;

    std::optional<Place> PlaceOf(Ticket ticket) const;
    // The file is read (or given up): its slot is free.
    void Finished(Ticket ticket);
    std::vector<Ticket> InFlightOn(HelperKey helper) const;
    bool Busy(HelperKey helper) const;
    int InFlight(const QString& storage) const { return inFlight_.value(storage); }

  private:
    struct Helper {
        HelperKey key;
        std::vector<std::optional<Ticket>> readers;  // a ticket per reader slot
        int busy = 0;
    };
    Helper* LeastBusy();
    Helper* Find(HelperKey key);
    const Helper* Find(HelperKey key) const;

    std::vector<Helper> helpers_;
    std::deque<Ticket> queue_;
    QHash<Ticket, QString> storages_;
    QHash<Ticket, Place> places_;
    QHash<QString, int> inFlight_;
};

}  // namespace quorvid
