#include "core/pool/RecordCheck.h"

#include "core/extraction/GioShell.h"
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

bool IsSteeringCharacter(QChar c) {
    const char16_t code = c.unicode();
    if (code == u'\t' || code == u'\n' || code == u'\r') {
        return false;
    }
    return code < 0x20 || (code >= 0x7f && code <= 0x9f) || (code >= 0x202a && code <= 0x202e) ||
           (code >= 0x2066 && code <= 0x2069);
}

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

std::optional<QString> RecordCheck::Cell(const ExtractionEvent& event) {
    if (event.cell < kFirstLibraryCell || event.cell > kTypeCell || !event.header.isEmpty()) {
        return QStringLiteral("a cell outside the catalogue");
    }
    if (event.step != CellStep(event.cell)) {
        return QStringLiteral("cell %1 at a step not its own").arg(event.cell);
    }
    if (cellsWritten_.test(static_cast<size_t>(event.cell))) {
        return QStringLiteral("cell %1 twice").arg(event.cell);
    }
    cellsWritten_.set(static_cast<size_t>(event.cell));
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
    if ((failedSources_ & SourceBit(*source)) != 0) {
        return QStringLiteral("a second failure where the first one ends the reading");
    }
    failedSources_ |= SourceBit(*source);
    return std::nullopt;
}

std::optional<QString> RecordCheck::Text(const QString& text) {
    if (text.size() > kMaxTextCharacters) {
        return QStringLiteral("a text of more than %1 characters").arg(kMaxTextCharacters);
    }
    characters_ += text.size();
    if (characters_ > kMaxRecordCharacters) {
        return QStringLiteral("more than %1 characters of text").arg(kMaxRecordCharacters);
    }
    // What the path holds, the path's own cells hold as well.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool paired =
            c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (paired) {
            ++i;
        } else if (c.isSurrogate() && !path_.contains(c)) {
            return QStringLiteral("a text that is not valid Unicode");
        } else if (IsSteeringCharacter(c) && !path_.contains(c)) {
            return QStringLiteral("a text with control characters");
        }
    }
    return std::nullopt;
}

}  // namespace quorvid
