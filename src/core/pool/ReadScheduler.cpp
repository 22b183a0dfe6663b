#include "core/pool/ReadScheduler.h"

#include <algorithm>

namespace quorvid {

void ReadScheduler::AddHelper(HelperKey helper) {
    pipes_.push_back({helper, {}});
}

std::deque<ReadScheduler::Ticket> ReadScheduler::RemoveHelper(HelperKey helper) {
    const auto found = std::find_if(pipes_.begin(), pipes_.end(),
                                    [&](const Pipe& pipe) { return pipe.helper == helper; });
    if (found == pipes_.end()) {
        return {};
    }
    std::deque<Ticket> held = std::move(found->sent);
    pipes_.erase(found);
    return held;
}

void ReadScheduler::Enqueue(Ticket ticket, bool urgent) {
    if (urgent) {
        queue_.push_front(ticket);
    } else {
        queue_.push_back(ticket);
    }
}

void ReadScheduler::ReturnToFront(const std::deque<Ticket>& tickets) {
    queue_.insert(queue_.begin(), tickets.begin(), tickets.end());
}

bool ReadScheduler::Unqueue(Ticket ticket) {
    const auto queued = std::find(queue_.begin(), queue_.end(), ticket);
    if (queued == queue_.end()) {
        return false;
    }
    queue_.erase(queued);
    return true;
}

std::vector<ReadScheduler::Assignment> ReadScheduler::Assign(
    const std::function<bool(Ticket)>& wanted) {
    std::vector<Assignment> assignments;
    for (std::size_t depth = 1; depth <= kRequestsPerHelper; ++depth) {
        for (Pipe& pipe : pipes_) {
            while (pipe.sent.size() < depth && !queue_.empty()) {
                const Ticket ticket = queue_.front();
                queue_.pop_front();
                if (!wanted(ticket)) {
                    continue;
                }
                pipe.sent.push_back(ticket);
                assignments.push_back({pipe.helper, ticket});
            }
        }
    }
    return assignments;
}

std::optional<ReadScheduler::Ticket> ReadScheduler::Current(HelperKey helper) const {
    const Pipe* pipe = Find(helper);
    if (pipe == nullptr || pipe->sent.empty()) {
        return std::nullopt;
    }
    return pipe->sent.front();
}

void ReadScheduler::Finished(HelperKey helper) {
    if (Pipe* pipe = Find(helper); pipe != nullptr && !pipe->sent.empty()) {
        pipe->sent.pop_front();
    }
}

ReadScheduler::Pipe* ReadScheduler::Find(HelperKey helper) {
    const auto found = std::find_if(pipes_.begin(), pipes_.end(),
                                    [&](const Pipe& pipe) { return pipe.helper == helper; });
    return found == pipes_.end() ? nullptr : &*found;
}

const ReadScheduler::Pipe* ReadScheduler::Find(HelperKey helper) const {
    return const_cast<ReadScheduler*>(this)->Find(helper);
}

}  // namespace quorvid
