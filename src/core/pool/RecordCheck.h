#pragma once

#include <QSet>
#include <QString>
#include <optional>
#include <vector>

#include "core/extraction/ExtraColumns.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtraction.h"

namespace quorvid {

// What a real extraction of one file sends, and nothing more is believed of a
// helper: each catalogue cell once, at its own step; each of the desktop's
// detail columns once; each extra column the run asked for once, at its step,
// a checksum only as its exact hex digits; one failure per source, at a step of that source; texts
// within the limits of a real record (RecordLimits.h). A helper that
// sends anything else has been taken over by the file it reads.
class RecordCheck {
  public:
    explicit RecordCheck(QString path, const ExtraColumns& extra = {})
        : path_(std::move(path)),
          extraFields_(static_cast<int>(extra.fields.size())),
          checksum_(extra.checksum),
          cellsWritten_(static_cast<size_t>(kCatalogueColumnCount + extra.Count())) {}

    // What a real extraction never sends, said as what the helper sent;
    // nothing when it may have sent this.
    std::optional<QString> StepStarted(int step) const;
    std::optional<QString> Event(const ExtractionEvent& event);

  private:
    std::optional<QString> Cell(const ExtractionEvent& event);
    // The step a cell is written at; 0 for a cell no extraction of this run writes.
    int StepOfCell(int cell) const;
    std::optional<QString> Detail(const ExtractionEvent& event);
    std::optional<QString> Failure(const ExtractionEvent& event);
    std::optional<QString> Text(const QString& text);

    QString path_;
    int extraFields_;
    ChecksumKind checksum_;
    std::vector<bool> cellsWritten_;
    QSet<QString> detailsWritten_;
    unsigned failedSources_ = 0;
    qsizetype characters_ = 0;
};

}  // namespace quorvid
