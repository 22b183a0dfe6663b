#include "core/pool/ReadScheduler.h"

#include <algorithm>

namespace quorvid {

void ReadScheduler::AddHelper(HelperKey helper, int readers) {
    helpers_.push_back(
        {helper, std::vector<std::optional<Ticket>>(static_cast<size_t>(readers)), 0});
}

std::vector<ReadScheduler::Ticket> ReadScheduler::RemoveHelper(HelperKey helper) {
    std::vector<Ticket> held = InFlightOn(helper);
    for (const Ticket ticket : held) {
        Finished(ticket);
    }
    std::erase_if(helpers_, [&](const Helper& h) { return h.key == helper; });
    return held;
}

void ReadScheduler::Enqueue(Ticket ticket, const QString& storage, bool urgent) {
    storages_.insert(ticket, storage);
    if (urgent) {
        queue_.push_front(ticket);
    } else {
        queue_.push_back(ticket);
    }
}

void ReadScheduler::ReturnToFront(Ticket ticket) {
    const QString storage = storages_.value(ticket);
    Finished(ticket);
    Enqueue(ticket, storage, true);
}

bool ReadScheduler::Unqueue(Ticket ticket) {
    const auto queued = std::find(queue_.begin(), queue_.end(), ticket);
    if (queued == queue_.end()) {
        return false;
    }
    queue_.erase(queued);
    storages_.remove(ticket);
    return true;
}

std::vector<ReadScheduler::Ticket> ReadScheduler::UnqueueStorage(const QString& storage) {
    std::vector<Ticket> taken;
    for (const Ticket ticket : queue_) {
        if (storages_.value(ticket) == storage) {
            taken.push_back(ticket);
        }
    }
    for (const Ticket ticket : taken) {
        Unqueue(ticket);
    }
    return taken;
}

std::vector<ReadScheduler::Assignment> ReadScheduler::Assign(
    const std::function<bool(Ticket)>& wanted,
    const std::function<int(const QString& storage)>& limit) {
    std::vector<Assignment> assignments;
    for (auto queued = queue_.begin(); queued != queue_.end();) {
        const Ticket ticket = *queued;
        if (!wanted(ticket)) {
            storages_.remove(ticket);
            queued = queue_.erase(queued);
            continue;
        }
        const QString storage = storages_.value(ticket);
        if (inFlight_.value(storage) >= limit(storage)) {
            ++queued;
            continue;
        }
        Helper* helper = LeastBusy();
        if (helper == nullptr) {
            break;
        }
        const auto free = std::find(helper->readers.begin(), helper->readers.end(), std::nullopt);
        const int slot = static_cast<int>(free - helper->readers.begin());
        *free = ticket;
        ++helper->busy;
        ++inFlight_[storage];
        places_.insert(ticket, {helper->key, slot});
        assignments.push_back({ticket, {helper->key, slot}});
        queued = queue_.erase(queued);
    }
    return assignments;
}

std::vector<ReadScheduler::Ticket> ReadScheduler::QueuedOf(const QString& storage,
                                                           int count) const {
    std::vector<Ticket> next;
    for (auto queued = queue_.begin();
         queued != queue_.end() && static_cast<int>(next.size()) < count; ++queued) {
        if (storages_.value(*queued) == storage) {
            next.push_back(*queued);
        }
    }
    return next;
}

std::optional<ReadScheduler::Place> ReadScheduler::PlaceOf(Ticket ticket) const {
    const auto place = places_.find(ticket);
    if (place == places_.end()) {
        return std::nullopt;
    }
    return *place;
}

void ReadScheduler::Finished(Ticket ticket) {
    const auto place = places_.find(ticket);
    if (place == places_.end()) {
        return;
    }
    if (Helper* helper = Find(place->helper)) {
        helper->readers[static_cast<size_t>(place->slot)].reset();
        --helper->busy;
    }
    --inFlight_[storages_.take(ticket)];
    places_.erase(place);
}

std::vector<ReadScheduler::Ticket> ReadScheduler::InFlightOn(HelperKey helper) const {
    std::vector<Ticket> held;
    if (const Helper* h = Find(helper)) {
        for (const auto& slot : h->readers) {
            if (slot) {
                held.push_back(*slot);
            }
        }
    }
    return held;
}

bool ReadScheduler::Busy(HelperKey helper) const {
    const Helper* h = Find(helper);
    return h != nullptr && h->busy > 0;
}

ReadScheduler::Helper* ReadScheduler::LeastBusy() {
    Helper* best = nullptr;
    for (Helper& helper : helpers_) {
        const bool room = helper.busy < static_cast<int>(helper.readers.size());
        if (room && (best == nullptr || helper.busy < best->busy)) {
            best = &helper;
        }
    }
    return best;
}

ReadScheduler::Helper* ReadScheduler::Find(HelperKey key) {
    const auto found = std::find_if(helpers_.begin(), helpers_.end(),
                                    [&](const Helper& h) { return h.key == key; });
    return found == helpers_.end() ? nullptr : &*found;
}

const ReadScheduler::Helper* ReadScheduler::Find(HelperKey key) const {
    return const_cast<ReadScheduler*>(this)->Find(key);
}

}  // namespace quorvid
