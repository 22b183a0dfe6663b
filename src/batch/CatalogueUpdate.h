#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "batch/RowPlan.h"
#include "batch/StoredRows.h"

namespace quorvid {

// Decides which rows of a catalogue stand as they are and which files are read
// again. The files under the run's paths come in the order a fresh run over
// them gives, in the place of the catalogue's rows under those paths (where
// the first of them stood; at the end when there is none). Rows of other files
// keep their places around them, as do rows whose file still exists but was not
// found by the walk (another --ext, a folder that could not be read): a failed
// walk never loses rows. Only rows under the paths whose file is gone are
// dropped.
class CatalogueUpdate {
  public:
    // catalogueWritten: when the catalogue file was last written.
    CatalogueUpdate(const StoredRows& catalogue, const QDateTime& catalogueWritten)
        : catalogue_(catalogue), catalogueWritten_(catalogueWritten) {}

    // paths: the absolute paths the run was given (files and folders);
    // gathered: the files found under them, in order. The files to read now
    // are appended to toRead in the order the plan takes them.
    RowPlan Plan(const std::vector<QString>& paths, const std::vector<QString>& gathered,
                 std::vector<QString>& toRead);

    qsizetype kept() const { return kept_; }
    qsizetype read() const { return read_; }
    qsizetype dropped() const { return dropped_; }

    // Whether a stored row still stands for its file: the size, the date last
    // modified and the desktop detail of the last status change (which moves
    // with a new owner, new permissions or a new name too) are those of the
    // row, as the extraction would write them now; so a changed time zone or
    // locale reads everything again. The dates have whole seconds only: a file
    // whose status changed in the second the catalogue was written, or later,
    // may have changed after it was read, and is read again.
    bool Unchanged(const StoredRows::Row& row) const;

  private:
    const StoredRows& catalogue_;
    QDateTime catalogueWritten_;
    qsizetype kept_ = 0;
    qsizetype read_ = 0;
    qsizetype dropped_ = 0;
};

}  // namespace quorvid
