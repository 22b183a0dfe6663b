#pragma once

#include <QString>
#include <optional>

#include "extract/ExtractionJournal.h"
#include "extract/FileExtractor.h"
#include "extract/ReaderConfinement.h"

namespace quorvid {

// The helper reads each file in a reader process of its own, forked from the
// helper once its libraries are loaded and confined to that file before the
// library sees a byte of it: Landlock rules (what it may open) and an
// allow-list system-call filter (no new processes, no terminal, signals only
// to itself). A reader that hangs or dies takes the helper with it, so the
// parent sees what it always saw: the helper stopped on that file.
class ConfinedReaders {
  public:
    // An exit status of its own: a reader that could not confine itself.
    static constexpr int kNotConfinedExitCode = 76;

    ConfinedReaders(const FileExtractor& extractor, JournalWriter* journal);

    // Confines the helper itself and tries out a reader's confinement on
    // probePath. Nothing when both hold, else why not; then no file is read.
    std::optional<QString> Confine(const QString& probePath);
    // What the readers' confinement lacks on this system; empty when nothing.
    QString note() const;

    // Reads requests from inFd until it closes and sends each file's record
    // to outFd. Returns the helper's exit status.
    int Serve(int inFd, int outFd);

  private:
    // Forks the reader of one request and passes its record on; false when the
    // reader ended without finishing it (the helper has then ended alike).
    bool Read(std::uint32_t id, const QString& path, bool skipLibrary, int outFd);

    const FileExtractor& extractor_;
    JournalWriter* journal_;
    ReaderConfinement confinement_;
    int nullFd_ = -1;
};

}  // namespace quorvid
