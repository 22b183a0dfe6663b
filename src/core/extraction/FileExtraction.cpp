#include "core/extraction/FileExtraction.h"

#include "core/extraction/FieldCatalogue.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

ExtractionSource SourceOfStep(int step) {
    if (step == step::extract::kExtraField) {
        return ExtractionSource::Library;
    }
    if (step == step::extract::kChecksum) {
        return ExtractionSource::Checksum;
    }
    if (step < step::extract::kGetFile) {
        return ExtractionSource::Library;
    }
    return step <= step::extract::FileCellStep(kTypeCell) ? ExtractionSource::FileItem
                                                          : ExtractionSource::ShellDetails;
}

std::optional<ExtractionSource> SourceOfExtractionStep(int step) {
    using namespace step::extract;
    const bool libraryCell = step >= LibraryCellStep(kFirstLibraryCell) &&
                             step < LibraryCellStep(kFirstLibraryCell + kLibraryFieldCount) &&
                             step % 2 == 0;
    if (step == kNewHandle || step == kOpenFile || libraryCell || step == kExtraField ||
        step == kCloseFile || step == kDeleteHandle) {
        return ExtractionSource::Library;
    }
    if (step == kChecksum) {
        return ExtractionSource::Checksum;
    }
    const bool fileCell =
        step >= FileCellStep(kFirstFileCell) && step <= FileCellStep(kTypeCell) && step % 2 == 0;
    if (step == kGetFile || fileCell) {
        return ExtractionSource::FileItem;
    }
    if (step == kOpenShellFolder || step == kReadHeader || step == kReadItems ||
        step == kFindColumn) {
        return ExtractionSource::ShellDetails;
    }
    return std::nullopt;
}

void FileExtraction::Fail(ExtractionSource source, int step, const QString& description) {
    if (HasFailed(source)) {
        return;
    }
    Record({ExtractionEvent::Kind::Failure, step, 0, {}, description});
}

void FileExtraction::Record(ExtractionEvent event) {
    if (event.kind == ExtractionEvent::Kind::Failure) {
        failedSources_ |= SourceBit(SourceOfStep(event.step));
    }
    if (sink_ != nullptr) {
        sink_->Recorded(event);
    }
    events_.push_back(std::move(event));
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

qsizetype FileExtraction::TextSize() const {
    qsizetype size = path_.size();
    for (const ExtractionEvent& event : events_) {
        size += event.header.size() + event.text.size();
    }
    return size;
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
