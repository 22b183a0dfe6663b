#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/pool/ExtractorProtocol.h"

// A helper sends a file's record in one write once the file is done: one write
// per step would cost as much as a tenth of the reading. Meanwhile it keeps the
// frames of the file it is on in a journal, memory it shares with its parent,
// so that the parent still learns how far the file got when the helper hangs
// or dies, and sees that it makes progress while it is slow.
namespace quorvid {

// The parent's side: it makes the shared memory, passes its descriptor to one
// helper and only ever reads it.
class ExtractionJournal {
  public:
    // Nothing when the system cannot make shared memory.
    static std::unique_ptr<ExtractionJournal> Create(std::size_t bytes = kDefaultBytes);
    ~ExtractionJournal();
    ExtractionJournal(const ExtractionJournal&) = delete;
    ExtractionJournal& operator=(const ExtractionJournal&) = delete;

    // Inherited by the helper; closed on exec in every other child.
    int fd() const { return fd_; }
    // Changes whenever the helper starts a file or a step or records an event.
    std::uint32_t Progress() const;
    // The frames of request id, in the order they were made; nothing when the
    // journal holds another request, or more than fitted, or unreadable data.
    std::optional<std::vector<protocol::Message>> Read(std::uint32_t id) const;

    static constexpr std::size_t kDefaultBytes = 1024 * 1024;

  private:
    ExtractionJournal(int fd, void* memory, std::size_t bytes)
        : fd_(fd), memory_(memory), bytes_(bytes) {}
    int fd_;
    void* memory_;
    std::size_t bytes_;
};

// The helper's side: writes the frames of the file it is on.
class JournalWriter {
  public:
    // Maps the journal behind fd; nothing when fd is not one.
    static std::unique_ptr<JournalWriter> Open(int fd);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Forgets the frames of the last file: request id begins.
    void Begin(std::uint32_t id);
    // Adds a frame; false once the frames of this file no longer fit, after
    // which the parent has to be sent each step as it starts.
    bool Append(const QByteArray& frame);
    // Unmaps the journal: a reader keeps only its own file's.
    void Release();

  private:
    JournalWriter(void* memory, std::size_t bytes) : memory_(memory), bytes_(bytes) {}
    void* memory_;
    std::size_t bytes_;
};

}  // namespace quorvid
