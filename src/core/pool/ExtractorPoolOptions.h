#pragma once

#include <QString>
#include <chrono>
#include <functional>

#include "core/extraction/ExtraColumns.h"
#include "core/pool/ExtractorProtocol.h"

namespace quorvid {

inline constexpr auto kExtractorProgramName = "quorvid-extractor";

struct ExtractorPoolOptions {
    QString program;      // the helper program
    int helperCount = 0;  // 0: one per core
    // Files read at once, all storages alike; 0: as each storage keeps up,
    // found while reading (StorageConcurrency).
    int filesAtOnce = 0;
    // Readers each helper may run at once, each with a journal of its own.
    int readersPerHelper = 16;
    // A file on which its helper makes no progress for this long is given up.
    std::chrono::milliseconds watchdog = std::chrono::seconds(60);
    // However much progress it shows, a file is given up once it has been read
    // this many times the watchdog's time: a taken-over reader may keep talking.
    int deadlineInWatchdogs = 5;
    // The ceiling of each helper's address space.
    unsigned long long memoryLimitBytes = protocol::kDefaultMemoryLimitBytes;
    // Benchmarks alone: each reader reads a run of files of one folder, the
    // cheaper and less safe way this exists to measure the default against
    // (a reader per file, so that no file's code outlives it).
    bool readersPerFolder = false;
    // The columns each helper reads beyond the catalogue, the checksum among
    // them; the in-process extractor must be given the same.
    ExtraColumns extraColumns;
    // A helper sending more than this for one file is broken or taken over.
    qint64 maxBytesPerFile = 64 * 1024 * 1024;
    // Where the helpers' diagnostics go, one line at a time with every control
    // character removed; the caller's standard error when not set.
    std::function<void(const QString& line)> diagnostics;
};

// The options for the helper that lives in the program's folder.
ExtractorPoolOptions ProgramExtractorOptions(const QString& programFolder);

}  // namespace quorvid
