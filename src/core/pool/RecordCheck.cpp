#include "core/pool/RecordCheck.h"

#include "core/extraction/GioShell.h"
#include "core/extraction/RecordLimits.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

int CellStep(int cell) {
    return cell < kFirstFileCell ? step::extract::LibraryCellStep(cell)
                                 : step::extract::FileCellStep(cell);
}

unsigned SourceBit(ExtractionSource source) {
    return 1U << static_cast<unsigned>(source);
}

}  // namespace

std::optional<QString> RecordCheck::StepStarted(int step) const {
    if (!SourceOfExtractionStep(step)) {
        return QStringLiteral("a step that no extraction has");
    }
    return std::nullopt;
}

std::optional<QString> RecordCheck::Event(const ExtractionEvent& event) {
    if (const auto doubt = Text(event.header)) {
        return doubt;
    }
    if (const auto doubt = Text(event.text)) {
        return doubt;
    }
    switch (event.kind) {
        case ExtractionEvent::Kind::Cell:
            return Cell(event);
        case ExtractionEvent::Kind::Detail:
            return Detail(event);
        case ExtractionEvent::Kind::Failure:
            return Failure(event);
    }
    return QStringLiteral("an event of no known kind");
}

int RecordCheck::StepOfCell(int cell) const {
    if (cell >= kFirstLibraryCell && cell <= kTypeCell) {
        return CellStep(cell);
    }
    const int extra = cell - kCatalogueColumnCount;
    if (extra >= 0 && extra < extraFields_) {
        return step::extract::kExtraField;
    }
    if (extra == extraFields_ && checksum_ != ChecksumKind::None) {
        return step::extract::kChecksum;
    }
    return 0;
}

std::optional<QString> RecordCheck::Cell(const ExtractionEvent& event) {
    const int step = StepOfCell(event.cell);
    if (step == 0 || !event.header.isEmpty()) {
        return QStringLiteral("a cell outside the catalogue");
    }
    if (event.step != step) {
        return QStringLiteral("cell %1 at a step not its own").arg(event.cell);
    }
    if (cellsWritten_[static_cast<size_t>(event.cell)]) {
        return QStringLiteral("cell %1 twice").arg(event.cell);
    }
    if (step == step::extract::kChecksum && !IsChecksumText(checksum_, event.text)) {
        return QStringLiteral("a checksum that is not %1 hex digits")
            .arg(ChecksumHexLength(checksum_));
    }
    cellsWritten_[static_cast<size_t>(event.cell)] = true;
    return std::nullopt;
}

std::optional<QString> RecordCheck::Detail(const ExtractionEvent& event) {
    if (event.step != step::extract::kFindColumn || event.cell != 0 ||
        !IsGioDetailColumn(event.header)) {
        return QStringLiteral("a detail column that the desktop does not have");
    }
    if (detailsWritten_.contains(event.header)) {
        return QStringLiteral("one detail column twice");
    }
    detailsWritten_.insert(event.header);
    return std::nullopt;
}

std::optional<QString> RecordCheck::Failure(const ExtractionEvent& event) {
    const std::optional<ExtractionSource> source = SourceOfExtractionStep(event.step);
    if (!source || event.cell != 0 || !event.header.isEmpty()) {
        return QStringLiteral("a failure of a step that no extraction has");
    }
    if (event.text.size() > limits::kMaxFailureCharacters) {
        return QStringLiteral("a failure of more than %1 characters")
            .arg(limits::kMaxFailureCharacters);
    }
    if ((failedSources_ & SourceBit(*source)) != 0) {
        return QStringLiteral("a second failure where the first one ends the reading");
    }
    failedSources_ |= SourceBit(*source);
    return std::nullopt;
}

std::optional<QString> RecordCheck::Text(const QString& text) {
    characters_ += text.size();
    if (characters_ > limits::kMaxRecordCharacters) {
        return QStringLiteral("more than %1 characters of text").arg(limits::kMaxRecordCharacters);
    }
    return limits::DoubtOfText(text, path_);
}

}  // namespace quorvid
