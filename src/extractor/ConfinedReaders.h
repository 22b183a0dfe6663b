#pragma once

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <deque>
#include <optional>

#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractionJournal.h"
#include "core/pool/ExtractorProtocol.h"
#include "extractor/ReaderConfinement.h"

namespace quorvid {

// The helper reads files in reader processes, forked from the helper once its
// libraries are loaded and confined before the library sees a byte of a file:
// Landlock rules (the file's folder and the system data) and an allow-list
// system-call filter (no new processes, no terminal, signals only to itself).
// One reader reads a run of files of one folder, since each fork costs the
// libraries' pages faulted in again; a file of another folder, or one the
// reader's rules do not cover, gets a new reader. A reader that hangs or dies
// takes the helper with it, so the parent sees what it always saw: the helper
// stopped on that file.
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
    struct Reader {
        pid_t pid = -1;
        int requests = -1;  // its standard input
        int records = -1;   // its standard output
        int generation = 0;
        std::deque<std::uint32_t> unfinished;  // requests sent, oldest first
        protocol::FrameReader frames;
    };

    // Sends one request to the reader that may read it, or to a new one.
    void Dispatch(const protocol::Message& request, int outFd);
    void StartReader(const protocol::Message& request);
    // Passes on what the reader sent; false once it has closed its output.
    bool Relay(int outFd);
    // Waits for the reader to end once it has closed its output; the helper
    // ends alike when the reader left a request unfinished.
    void Reap();
    // Lets the reader finish what it has and end.
    void Retire(int outFd);

    const FileExtractor& extractor_;
    JournalWriter* journal_;
    ReaderConfinement confinement_;
    Reader reader_;
};

}  // namespace quorvid
