#pragma once

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <optional>

#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractionJournal.h"
#include "core/pool/ExtractorProtocol.h"
#include "extractor/ReaderConfinement.h"
#include "extractor/ReaderOutput.h"

namespace quorvid {

// The helper reads files in reader processes, forked from the helper once its
// libraries are loaded and confined before the library sees a byte of a file:
// Landlock rules (the file's folder and the system data) and an allow-list
// system-call filter (no new processes, no terminal, signals only to itself).
//
// A file may take the library over, so every file gets a reader of its own:
// nothing one file did to the library reaches another file's row. A reader is
// sent its own request only, and the helper reads its requests one at a time,
// so that no reader is forked while another request waits in the helper's
// memory. Only frames of the reader's own request pass; a reader that sends
// anything else, or anything after its end-of-file frame, is ended at once.
// A reader that hangs or dies takes the helper with it, so the parent sees
// what it always saw: the helper stopped on that file.
//
// While a reader reads, the next one is forked for the same folder's rules
// (a spare) and confines itself, and then waits for its request; a file of
// another folder gets a new reader instead.
class ConfinedReaders {
  public:
    // An exit status of its own: a reader that could not confine itself.
    static constexpr int kNotConfinedExitCode = 76;

    // readersPerFolder: one reader reads a run of files of one folder, for
    // benchmarks alone (see protocol::kReadersPerFolderOption).
    ConfinedReaders(const FileExtractor& extractor, JournalWriter* journal,
                    bool readersPerFolder = false);

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
        ReaderOutput output{true};
    };
    enum class Requests { Open, Closed, Broken };

    // Reads one request from inFd and hands it to its reader.
    Requests TakeRequest(int inFd, int outFd);
    void Dispatch(const protocol::Message& request, const char* frame, qsizetype size, int outFd);
    // A reader for path, or without one a spare for the current rules.
    Reader Fork(const QString* path, const std::optional<QString>& unprepared) const;
    [[noreturn]] void RunReader(const QString* path, const std::optional<QString>& unprepared,
                                int requests, int records) const;
    [[noreturn]] void ReadRequests() const;
    void Give(Reader& reader, std::uint32_t id, const char* frame, qsizetype size) const;
    // Passes on what the reader sent; false once it has closed its output.
    bool Relay(int outFd);
    // Ends the reader once it has closed its output; the helper ends alike
    // when the reader left its request unfinished.
    void Reap(int outFd);
    // Ends the reader and the helper with it: it sent what it may not.
    [[noreturn]] void Abandon();
    // Lets the reader of a run of files finish what it has and end.
    void Retire(int outFd);
    void DropSpare();

    const FileExtractor& extractor_;
    JournalWriter* journal_;
    bool readersPerFolder_;
    ReaderConfinement confinement_;
    Reader reader_;
    Reader spare_;
    bool spareWanted_ = false;
};

}  // namespace quorvid
