#pragma once

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

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
// sent its own request only, keeps only its own journal, and the helper reads
// its requests one at a time, so that no reader is forked while another
// request waits in the helper's memory. Only frames of the reader's own
// request pass; a reader that sends anything else, or anything after its
// end-of-file frame, is ended at once.
//
// Several readers run at once, one per journal, so that files on slow storage
// are waited for side by side; forked from the one helper, they share its
// pages. A reader that ends without finishing its file is reported to the
// parent (ReaderEnded), and the helper goes on.
class ConfinedReaders {
  public:
    // An exit status of its own: a reader that could not confine itself.
    static constexpr int kNotConfinedExitCode = 76;

    // journals: one per reader that may run at once (null where the system
    // made none). readersPerFolder: one reader reads a run of files of one
    // folder, one at a time, for benchmarks alone.
    ConfinedReaders(const FileExtractor& extractor, std::vector<JournalWriter*> journals,
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
        int requests = -1;  // its standard input; closed once given its request
        int records = -1;   // its standard output
        int generation = 0;
        std::uint32_t id = 0;  // its (last) request
        ReaderOutput output{true};
        // Why the helper ended it, if it did.
        std::optional<protocol::ReaderEnd> endedBy;
        bool closed = false;  // its output closed
    };
    enum class Requests { Open, Closed, Broken };

    // Reads one request from inFd and acts on it.
    Requests TakeRequest(int inFd);
    void Dispatch(const protocol::Message& request, const char* frame, qsizetype size);
    Reader Fork(const QString& path, int slot, const std::optional<QString>& unprepared) const;
    [[noreturn]] void RunReader(const QString& path, int slot,
                                const std::optional<QString>& unprepared, int requests,
                                int records) const;
    [[noreturn]] void ReadRequests(int slot) const;
    void Give(Reader& reader, std::uint32_t id, const char* frame, qsizetype size) const;
    // Passes on what the reader sent; false once it has closed its output or
    // was ended.
    bool Relay(Reader& reader, int outFd);
    // Ends the reader and tells the parent how its file went.
    void Finish(Reader& reader, int outFd);
    // Finishes the readers whose output closed or that the helper ended.
    void FinishEnded(int outFd);
    // Ends the reader of a request at the parent's word.
    void Abandon(std::uint32_t id);
    void EndAll();

    const FileExtractor& extractor_;
    std::vector<JournalWriter*> journals_;
    bool readersPerFolder_;
    ReaderConfinement confinement_;
    std::vector<Reader> readers_;
};

}  // namespace quorvid
