#pragma once

#include <QtGlobal>
#include <cstdint>
#include <vector>

#include "core/extraction/FileExtraction.h"
#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractorProtocol.h"

namespace quorvid {

// What one helper's attempt at a file has made so far, decoded from the frames
// the helper sends or, when it hung or died, from its journal.
class FileAttempt {
  public:
    explicit FileAttempt(FileExtractor::LibraryUse libraryUse);

    enum class Outcome {
        Continues,  // more is to come
        FileDone,   // the record is whole
        Broken,     // the frame is no part of this file's record
    };

    // A frame the helper sent while reading the file of request id.
    Outcome Apply(const protocol::Message& message, std::uint32_t id);
    // The frames the journal kept of the file; its events only when the helper
    // kept to the protocol, else only how far it got.
    void TakeJournal(const std::vector<protocol::Message>& messages, bool withEvents);
    // Counts bytes sent for the file; false once they pass the budget.
    bool Charge(qint64 bytes, qint64 budget);

    FileExtractor::LibraryUse libraryUse() const { return libraryUse_; }
    // The file's first step has begun.
    bool begun() const { return begun_; }
    // The step last begun (before any, the first), and where its data comes from.
    int step() const { return step_; }
    ExtractionSource source() const { return SourceOfStep(step_); }

    // The events made so far; the attempt keeps none.
    std::vector<ExtractionEvent> TakeEvents();
    // What was made cannot be believed.
    void ForgetEvents() { events_.clear(); }

  private:
    void Began(int step);

    FileExtractor::LibraryUse libraryUse_;
    std::vector<ExtractionEvent> events_;
    int step_;
    bool begun_ = false;
    qint64 bytes_ = 0;
};

}  // namespace quorvid
