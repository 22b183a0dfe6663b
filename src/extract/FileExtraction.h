#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "app/StepFailure.h"

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

// What the extraction of one file produced, in the order of its steps, so that
// the run can write the row and show the reports as if it had done the work
// itself. It holds no widget and may be filled on any thread.
class FileExtraction {
  public:
    explicit FileExtraction(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }
    const std::vector<ExtractionEvent>& events() const { return events_; }

    // Runs one step; a failure is recorded with its number and false returned.
    template <typename Action>
    bool Step(int number, Action&& action) {
        const std::optional<QString> failure = FailureOf(std::forward<Action>(action));
        if (failure) {
            Fail(number, *failure);
        }
        return !failure;
    }

    void Fail(int step, const QString& description) {
        events_.push_back({ExtractionEvent::Kind::Failure, step, 0, {}, description});
    }
    void WriteCell(int step, int cell, const QString& text) {
        events_.push_back({ExtractionEvent::Kind::Cell, step, cell, {}, text});
    }
    void WriteDetail(int step, const QString& header, const QString& text) {
        events_.push_back({ExtractionEvent::Kind::Detail, step, 0, header, text});
    }

    // The text last written into cell k; empty when none was.
    QString Cell(int cell) const;
    // The numbers of the failed steps, in order.
    std::vector<int> FailedSteps() const;

  private:
    QString path_;
    std::vector<ExtractionEvent> events_;
};

}  // namespace quorvid
