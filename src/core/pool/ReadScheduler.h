#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace quorvid {

// Decides which file goes to which helper and how many each holds at once. A
// helper reads its files in the order they were sent; the others wait in one
// queue. Knows files by ticket and helpers by key, and starts nothing itself.
class ReadScheduler {
  public:
    using Ticket = std::uint32_t;
    using HelperKey = const void*;
    struct Assignment {
        HelperKey helper;
        Ticket ticket;
    };

    // One file being read and the next ones waiting in the pipe, so that a
    // helper never idles while its parent is busy with the window: a repaint of
    // the grid takes longer than a helper needs for a small file or two.
    static constexpr std::size_t kRequestsPerHelper = 4;

    void AddHelper(HelperKey helper);
    // The helper is gone; the files it held, oldest first.
    std::deque<Ticket> RemoveHelper(HelperKey helper);

    // An urgent file goes before those already queued.
    void Enqueue(Ticket ticket, bool urgent);
    // Files that go back before all others, in the order given.
    void ReturnToFront(const std::deque<Ticket>& tickets);
    // Takes a file out of the queue; false when it was not queued.
    bool Unqueue(Ticket ticket);

    // The files to send now: one per helper first, then the second in each
    // pipe, and so on. Tickets that are not wanted any more are dropped.
    std::vector<Assignment> Assign(const std::function<bool(Ticket)>& wanted);

    // The file the helper is reading; nothing when it holds none.
    std::optional<Ticket> Current(HelperKey helper) const;
    // The helper finished its current file.
    void Finished(HelperKey helper);
    bool Holds(HelperKey helper) const { return Current(helper).has_value(); }

  private:
    struct Pipe {
        HelperKey helper;
        std::deque<Ticket> sent;  // oldest first; the helper works on the front
    };
    Pipe* Find(HelperKey helper);
    const Pipe* Find(HelperKey helper) const;

    std::vector<Pipe> pipes_;
    std::deque<Ticket> queue_;
};

}  // namespace quorvid
