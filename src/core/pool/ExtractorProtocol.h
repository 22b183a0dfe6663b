#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "core/extraction/FileExtraction.h"

// What the extraction helper and its parent say to each other over the helper's
// standard input and output. Every message is one frame: a 4-byte little-endian
// length, then that many bytes: a type byte, a 4-byte request id and the type's
// fields. Texts travel as UTF-16 with a length in front, so any path (newlines,
// names that were not UTF-8) arrives exactly as the parent holds it.
namespace quorvid::protocol {

enum class MessageType : std::uint8_t {
    Extract = 1,      // parent: read the file at path (flags: kSkipLibrary) in a reader
                      // of its own, which keeps its journal in the given slot
    Ready = 2,        // helper: set up and confined, waiting for requests (text: what
                      // its confinement lacks, empty when nothing)
    StepStarted = 3,  // helper: step begins for request id
    Event = 4,        // helper: one event of request id
    FileDone = 5,     // helper: request id is complete
    Refused = 6,      // helper, instead of Ready: it cannot confine itself (text: why)
    Abandon = 7,      // parent: end the reader of request id at once
    ReaderEnded = 8,  // helper: the reader of request id ended without finishing it
};

// How a reader ended without finishing its request.
enum class ReaderEnd : std::uint8_t {
    Exited = 0,      // code: its exit status
    Signaled = 1,    // code: the signal
    Misbehaved = 2,  // it sent what no reader may (another request's frames, or
                     // anything after its end), and the helper ended it
    Abandoned = 3,   // the parent asked for its end
};

inline constexpr std::uint8_t kSkipLibrary = 1;

// The parent starts a helper with the descriptors of its journals (one per
// reader it may run at once; the option once for each) and the ceiling of its
// address space on the command line.
inline constexpr auto kJournalFdOption = "--journal-fd";
inline constexpr auto kMemoryLimitOption = "--memory-limit";
// The ceiling unless the parent names another: a runaway allocation ends in a
// failed allocation instead of the system running out of memory.
inline constexpr unsigned long long kDefaultMemoryLimitBytes = 2ULL * 1024 * 1024 * 1024;
// The helper ends with this status when an allocation fails under the ceiling:
// a file that makes the library want that much gets a report, not a row that
// holds whatever the library kept after the failure.
inline constexpr int kOutOfMemoryExitCode = 75;
// The most readers a helper runs at once.
inline constexpr int kMostJournals = 64;
// A frame longer than this is a broken or hostile helper, never a real record.
inline constexpr std::uint32_t kMaxFrameBytes = 16 * 1024 * 1024;
// A request is a path: far below this even where every character takes a
// 16-bit unit. A helper reads a request whole into a buffer of this size.
inline constexpr std::uint32_t kMaxRequestBytes = 64 * 1024;
// Benchmarks only: one reader reads a run of files of one folder, as before
// every file got a reader of its own, to measure that safe default against.
inline constexpr auto kReadersPerFolderOption = "--readers-per-folder";

struct Message {
    MessageType type = MessageType::Ready;
    std::uint32_t id = 0;
    std::uint8_t flags = 0;             // Extract
    std::uint8_t slot = 0;              // Extract
    QString path;                       // Extract
    ReaderEnd end = ReaderEnd::Exited;  // ReaderEnded
    std::uint32_t code = 0;             // ReaderEnded
    qsizetype frameBytes = 0;           // the whole frame's size, as it was read
    QString text;                       // Ready, Refused
    int step = 0;                       // StepStarted
    ExtractionEvent event{};            // Event
};

QByteArray EncodeExtract(std::uint32_t id, const QString& path, std::uint8_t flags,
                         std::uint8_t slot = 0);
QByteArray EncodeAbandon(std::uint32_t id);
QByteArray EncodeReaderEnded(std::uint32_t id, ReaderEnd end, std::uint32_t code);
QByteArray EncodeReady(const QString& note = {});
QByteArray EncodeRefused(const QString& reason);
QByteArray EncodeStepStarted(std::uint32_t id, int step);
QByteArray EncodeEvent(std::uint32_t id, const ExtractionEvent& event);
QByteArray EncodeFileDone(std::uint32_t id);

// Decodes one whole frame (its length first) that the caller holds, so that it
// can clear the bytes afterwards; nothing when it is no valid message.
std::optional<Message> DecodeFrame(const char* frame, qsizetype size);

// Collects bytes as they come and cuts them into messages.
class FrameReader {
  public:
    void Append(const char* data, qsizetype size) { buffer_.append(data, size); }
    void Append(const QByteArray& data) { buffer_.append(data); }

    // The next whole message; nothing when more bytes are needed or the stream
    // is broken (see broken()).
    std::optional<Message> Next();
    // The type and request id of the next whole frame, passed over without
    // reading its fields: for a process that only passes frames on, which
    // finds the frame's bytes appended to copy when given one.
    struct Header {
        MessageType type;
        std::uint32_t id;
    };
    std::optional<Header> SkipNext(QByteArray* copy = nullptr);
    bool broken() const { return broken_; }
    qsizetype pendingBytes() const { return buffer_.size() - position_; }

  private:
    // The length of the next whole frame; nothing while it is incomplete or
    // the stream is broken.
    std::optional<std::uint32_t> NextLength();
    void Consume(std::uint32_t length);

    QByteArray buffer_;
    qsizetype position_ = 0;
    bool broken_ = false;
};

}  // namespace quorvid::protocol
