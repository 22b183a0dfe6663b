#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

// One thing the extraction of a file did, with the number of its step.
struct ExtractionEvent {
    enum class Kind {
        Failure,  // text: the failure's description
        Cell,     // cell k of the row gets text
        Detail,   // the detail column headed header gets text
    };
    Kind kind;
    int step;
    int cell = 0;
    QString header;
    QString text;
};

// Hears each step of an extraction as it starts and each event as it is made,
// so that a helper process can pass them on before a step that may never end.
class ExtractionSink {
  public:
    virtual ~ExtractionSink() = default;
    virtual void StepStarted(int step) = 0;
    virtual void Recorded(const ExtractionEvent& event) = 0;
};

// Where a step's data comes from. Once a source has failed for a file, the
// failures of its later steps follow from the first one and are not recorded.
enum class ExtractionSource { Library, FileItem, ShellDetails, Checksum };
ExtractionSource SourceOfStep(int step);
// The source of a step that an extraction runs; nothing for a number that no
// extraction has.
std::optional<ExtractionSource> SourceOfExtractionStep(int step);

// What the extraction of one file produced, in the order of its steps, so that
// the run can write the row and show the reports as if it had done the work
// itself. It holds no widget and may be filled on any thread.
class FileExtraction {
  public:
    explicit FileExtraction(QString path, ExtractionSink* sink = nullptr)
        : path_(std::move(path)), sink_(sink) {}

    const QString& path() const { return path_; }
    const std::vector<ExtractionEvent>& events() const { return events_; }

    // Runs one step that reads from source. A failure is recorded with its
    // number, unless the source failed before; false is returned either way.
    template <typename Action>
    bool Step(ExtractionSource source, int number, Action&& action) {
        if (sink_ != nullptr) {
            sink_->StepStarted(number);
        }
        const std::optional<QString> failure = FailureOf(std::forward<Action>(action));
        if (failure) {
            Fail(source, number, *failure);
        }
        return !failure;
    }

    // Records a failure of source at step, unless the source failed before.
    void Fail(ExtractionSource source, int step, const QString& description);
    void WriteCell(int step, int cell, const QString& text) {
        Record({ExtractionEvent::Kind::Cell, step, cell, {}, text});
    }
    void WriteDetail(int step, const QString& header, const QString& text) {
        Record({ExtractionEvent::Kind::Detail, step, 0, header, text});
    }
    // Adds an event as it is, as made here or passed on from elsewhere.
    void Record(ExtractionEvent event);

    bool HasFailed(ExtractionSource source) const {
        return (failedSources_ & SourceBit(source)) != 0;
    }
    // The text last written into cell k; empty when none was.
    QString Cell(int cell) const;
    // The numbers of the recorded failures, in order.
    std::vector<int> FailedSteps() const;
    // The characters of every text it holds: what it costs to keep.
    qsizetype TextSize() const;

  private:
    static unsigned SourceBit(ExtractionSource source) {
        return 1U << static_cast<unsigned>(source);
    }

    QString path_;
    ExtractionSink* sink_;
    std::vector<ExtractionEvent> events_;
    unsigned failedSources_ = 0;
};

}  // namespace quorvid
