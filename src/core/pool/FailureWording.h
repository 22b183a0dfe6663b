#pragma once

#include <QString>

#include "core/extraction/FileExtraction.h"
#include "core/pool/ExtractorPoolOptions.h"

namespace quorvid {

// How a helper failed the file it was on.
enum class HelperBreakdown {
    Silent,        // no progress within the watchdog's time
    Overdue,       // progress, but no end within the file's deadline
    Stopped,       // it ended: a signal, an exit, or it could not be started
    OutOfMemory,   // an allocation failed under its ceiling
    Flood,         // it sent more than any file's record holds
    Garbled,       // it sent what is no record of the file
    Misbehaved,    // it sent what no real extraction does
    NotAnswering,  // its storage left several files in a row unanswered
    HeldUp,        // its helper got stuck on another file, as on a dead share
};

struct HelperFailure {
    HelperBreakdown breakdown;
    QString how;  // Stopped: the signal or the exit status; Misbehaved: what it sent
};

// The report a user reads for a file whose helper failed while reading it from
// source: the library, or the file facts and details read after it.
QString DescribeHelperFailure(const HelperFailure& failure, ExtractionSource source,
                              const ExtractorPoolOptions& options);

}  // namespace quorvid
