#pragma once

#include <QString>
#include <csignal>
#include <optional>
#include <utility>
#include <vector>

#include "batch/ProgressLine.h"
#include "core/extraction/ExtraColumns.h"

namespace quorvid {

class ExtractorPool;
class FileExtractor;

// The checksums a catalogue holds, of every file in its order.
struct CatalogueChecksums {
    ChecksumKind kind = ChecksumKind::None;
    // Path and checksum; the checksum is empty where the run that made the
    // row could not compute it.
    std::vector<std::pair<QString, QString>> files;

    // Nothing, with "FILE: line N: why" or why it holds no checksums in error,
    // when the catalogue is refused.
    static std::optional<CatalogueChecksums> Load(const QString& catalogue, QString& error);
};

// --verify: every file of a catalogue read again, through the helpers, for its
// checksum alone; one line on standard output for each file that changed, is
// missing or cannot be read, then a summary. The catalogue is not touched.
class CatalogueVerify {
  public:
    // helpers and inProcess read the checksum only (ExtraColumns::checksumOnly).
    CatalogueVerify(const CatalogueChecksums& catalogue, ExtractorPool* helpers,
                    const FileExtractor& inProcess, bool quiet,
                    const volatile std::sig_atomic_t& interrupted);

    // The exit status: 0 when every file matched, 1 otherwise. Throws
    // RunInterrupted.
    int Run();

  private:
    struct Counts {
        qsizetype matched = 0;
        qsizetype changed = 0;
        qsizetype missing = 0;
        qsizetype unreadable = 0;
    };
    // Compares one file's record with its row and says what differs.
    void Compare(const QString& path, const QString& stored, const class FileExtraction& read);
    void SayFile(const QString& path, const QString& what);

    const CatalogueChecksums& catalogue_;
    ExtractorPool* helpers_;
    const FileExtractor& inProcess_;
    const volatile std::sig_atomic_t& interrupted_;
    ProgressLine progress_;
    Counts counts_;
};

}  // namespace quorvid
