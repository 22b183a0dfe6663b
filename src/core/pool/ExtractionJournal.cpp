#include "core/pool/ExtractionJournal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace quorvid {

namespace {

// The start of the shared memory; the frames follow at kFramesOffset.
struct JournalHeader {
    std::atomic<std::uint32_t> progress;
    std::atomic<std::uint32_t> id;  // 0 while a new file is being begun
    std::atomic<std::uint32_t> used;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

constexpr std::size_t kFramesOffset = 64;
static_assert(sizeof(JournalHeader) <= kFramesOffset);
constexpr std::uint32_t kOverflowed = 0xFFFFFFFF;

JournalHeader& HeaderOf(void* memory) {
    return *static_cast<JournalHeader*>(memory);
}

char* FramesOf(void* memory) {
    return static_cast<char*>(memory) + kFramesOffset;
}

}  // namespace

std::unique_ptr<ExtractionJournal> ExtractionJournal::Create(std::size_t bytes) {
    const int fd = memfd_create("quorvid-journal", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        return nullptr;
    }
    // Sealed at its size: a helper that is taken over cannot shrink the memory
    // under the parent's reads.
    void* memory = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(bytes)) == 0 &&
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0) {
        memory = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    }
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<ExtractionJournal>(new ExtractionJournal(fd, memory, bytes));
}

ExtractionJournal::~ExtractionJournal() {
    munmap(memory_, bytes_);
    close(fd_);
}

std::uint32_t ExtractionJournal::Progress() const {
    return HeaderOf(memory_).progress.load(std::memory_order_acquire);
}

std::optional<std::vector<protocol::Message>> ExtractionJournal::Read(std::uint32_t id) const {
    JournalHeader& header = HeaderOf(memory_);
    if (header.id.load(std::memory_order_acquire) != id) {
        return std::nullopt;
    }
    const std::uint32_t used = header.used.load(std::memory_order_acquire);
    if (used > bytes_ - kFramesOffset) {
        return std::nullopt;  // overflowed, or written by a helper that is taken over
    }
    protocol::FrameReader reader;
    reader.Append(FramesOf(memory_), used);
    // A helper still running may have begun the next file meanwhile.
    if (header.id.load(std::memory_order_acquire) != id) {
        return std::nullopt;
    }
    std::vector<protocol::Message> messages;
    while (std::optional<protocol::Message> message = reader.Next()) {
        const bool belongs =
            message->id == id && (message->type == protocol::MessageType::StepStarted ||
                                  message->type == protocol::MessageType::Event);
        if (!belongs) {
            return std::nullopt;
        }
        messages.push_back(std::move(*message));
    }
    if (reader.broken() || reader.pendingBytes() != 0) {
        return std::nullopt;
    }
    return messages;
}

std::unique_ptr<JournalWriter> JournalWriter::Open(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || status.st_size <= static_cast<off_t>(kFramesOffset)) {
        return nullptr;
    }
    const auto bytes = static_cast<std::size_t>(status.st_size);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    return std::unique_ptr<JournalWriter>(new JournalWriter(memory, bytes));
}

JournalWriter::~JournalWriter() {
    Release();
}

void JournalWriter::Release() {
    if (memory_ != nullptr) {
        munmap(memory_, bytes_);
        memory_ = nullptr;
    }
}

void JournalWriter::Begin(std::uint32_t id) {
    JournalHeader& header = HeaderOf(memory_);
    // The id goes first, so that a reader who sees the frames emptied also
    // sees that they are no longer those of the file it asked about.
    header.id.store(0, std::memory_order_release);
    header.used.store(0, std::memory_order_release);
    header.id.store(id, std::memory_order_release);
    header.progress.fetch_add(1, std::memory_order_release);
}

bool JournalWriter::Append(const QByteArray& frame) {
    JournalHeader& header = HeaderOf(memory_);
    const std::uint32_t used = header.used.load(std::memory_order_relaxed);
    const std::size_t room = used == kOverflowed ? 0 : bytes_ - kFramesOffset - used;
    const bool fits = static_cast<std::size_t>(frame.size()) <= room;
    if (fits) {
        std::memcpy(FramesOf(memory_) + used, frame.constData(),
                    static_cast<std::size_t>(frame.size()));
        header.used.store(used + static_cast<std::uint32_t>(frame.size()),
                          std::memory_order_release);
    } else {
        header.used.store(kOverflowed, std::memory_order_release);
    }
    header.progress.fetch_add(1, std::memory_order_release);
    return fits;
}

}  // namespace quorvid
