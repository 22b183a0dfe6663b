#pragma once

#include <QString>
#include <deque>
#include <optional>

#include "batch/Spool.h"

namespace quorvid {

// The files a run reads, in order. They wait in a spool, so that a run over a
// whole archive holds only the paths between the file being read and the
// last one sent ahead to the helpers.
class FileList {
  public:
    explicit FileList(const QString& spoolFolder) : spool_(spoolFolder) {}

    const Spool& spool() const { return spool_; }
    void Append(const QString& path) { spool_.Append(path); }
    qsizetype size() const { return spool_.count(); }

    // Starts reading at position 1; false when the list could not be written.
    bool StartReading();
    // The path at a position (from 1). Positions may run ahead freely; behind
    // the oldest one not yet let go (LetGoBefore) is gone.
    std::optional<QString> At(qsizetype position);
    // The positions before this one will not be asked for again.
    void LetGoBefore(qsizetype position);

  private:
    Spool spool_;
    std::deque<QString> held_;
    qsizetype firstHeld_ = 1;
};

}  // namespace quorvid
