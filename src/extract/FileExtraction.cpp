#include "extract/FileExtraction.h"

namespace quorvid {

void FileExtraction::Fail(ExtractionSource source, int step, const QString& description) {
    if (HasFailed(source)) {
        return;
    }
    failedSources_ |= SourceBit(source);
    events_.push_back({ExtractionEvent::Kind::Failure, step, 0, {}, description});
}

QString FileExtraction::Cell(int cell) const {
    QString text;
    for (const ExtractionEvent& event : events_) {
        if (event.kind == ExtractionEvent::Kind::Cell && event.cell == cell) {
            text = event.text;
        }
    }
    return text;
}

std::vector<int> FileExtraction::FailedSteps() const {
    std::vector<int> steps;
    for (const ExtractionEvent& event : events_) {
        if (event.kind == ExtractionEvent::Kind::Failure) {
            steps.push_back(event.step);
        }
    }
    return steps;
}

}  // namespace quorvid
