#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/extraction/FileExtraction.h"
#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/pool/RecordCheck.h"

namespace quorvid {

// What one helper's attempt at a file has made so far, decoded from the frames
// the helper sends or, when it hung or died, from its journal. Only what a real
// extraction can make is believed.
class FileAttempt {
  public:
    enum class Outcome {
        Continues,    // more is to come
        FileDone,     // the record is whole
        Broken,       // the frame is no part of this file's record
        Unbelievable  // no real extraction sends it (doubt() says what it is)
    };

    // extra: the columns the helper reads beyond the catalogue; it must outlive
    // the attempt.
    FileAttempt(FileExtractor::LibraryUse libraryUse, const QString& path,
                const ExtraColumns* extra = nullptr);

    // A frame the helper sent while reading the file of request id.
    Outcome Apply(const protocol::Message& message, std::uint32_t id);
    // The frames the journal kept of the file: its events in place of those
    // sent, or only how far it got. False when the journal holds what no real
    // extraction makes.
    bool TakeJournal(const std::vector<protocol::Message>& messages, bool withEvents);
    // Counts bytes sent for the file; false once they pass the budget.
    bool Charge(qint64 bytes, qint64 budget);

    FileExtractor::LibraryUse libraryUse() const { return libraryUse_; }
    // The file's first step has begun.
    bool begun() const { return begun_; }
    // The step last begun (before any, the first), and where its data comes from.
    int step() const { return step_; }
    ExtractionSource source() const { return SourceOfStep(step_); }
    // What the helper sent that no real extraction does; empty while nothing.
    const QString& doubt() const { return doubt_; }

    // The events made so far; the attempt keeps none.
    std::vector<ExtractionEvent> TakeEvents();
    // What was made cannot be believed.
    void ForgetEvents() { events_.clear(); }
    // What was made after the steps of source cannot be believed.
    void ForgetEventsPast(ExtractionSource source);

  private:
    Outcome Began(int step);
    Outcome Made(const ExtractionEvent& event);

    FileExtractor::LibraryUse libraryUse_;
    QString path_;
    const ExtraColumns* extra_;
    RecordCheck check_;
    std::vector<ExtractionEvent> events_;
    int step_;
    bool begun_ = false;
    QString doubt_;
    qint64 bytes_ = 0;
};

}  // namespace quorvid
