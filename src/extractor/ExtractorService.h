#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/extraction/ExtraColumns.h"
#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractionJournal.h"

namespace quorvid {

// Sends the steps and events of one request to the helper's parent: all in one
// write when the file is done, and meanwhile into the journal, where the parent
// finds them when the helper hangs or dies. Without a journal, or once the
// file's frames outgrow it, each step's start is written as the step begins.
class RecordStream : public ExtractionSink {
  public:
    RecordStream(int outFd, JournalWriter* journal, std::uint32_t id);

    void StepStarted(int step) override;
    void Recorded(const ExtractionEvent& event) override;
    // Sends what is left and the end of the record.
    void Finish();

  private:
    void Add(const QByteArray& frame);
    void Flush();

    int outFd_;
    JournalWriter* journal_;
    std::uint32_t id_;
    bool journalHoldsAll_;
    int lastStep_ = 0;
    QByteArray pending_;
};

// Writes all of data to fd, going on after interruptions; false when fd fails.
bool WriteAll(int fd, const char* data, qsizetype size);
bool WriteAll(int fd, const QByteArray& bytes);
// Reads one whole frame from fd into buffer, its length first and then exactly
// that many bytes, so that nothing after it is taken out of fd: its size, 0 at
// the end of fd, -1 when fd fails or the frame does not fit.
qsizetype ReadFrame(int fd, char* buffer, qsizetype capacity);

// Sends the message that the helper is set up and confined, with what its
// confinement lacks (empty when nothing).
bool SendReady(int outFd, const QString& note);
// Sends, instead, why the helper cannot confine itself.
bool SendRefused(int outFd, const QString& reason);

// What the parent says on a helper's command line.
struct HelperArguments {
    std::vector<int> journalFds;  // one per reader it may run at once
    unsigned long long memoryLimitBytes = protocol::kDefaultMemoryLimitBytes;
    bool readersPerFolder = false;  // benchmarks only
    // The columns beyond the catalogue; nothing when the parent's words for
    // them make no sense.
    std::optional<ExtraColumns> extraColumns;
};
HelperArguments ParseHelperArguments(int argc, char** argv);

}  // namespace quorvid
