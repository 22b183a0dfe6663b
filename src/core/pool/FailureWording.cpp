#include "core/pool/FailureWording.h"

#include "core/pool/StorageConcurrency.h"

namespace quorvid {

namespace {

QString SecondsText(std::chrono::milliseconds time) {
    return QString::number(static_cast<double>(time.count()) / 1000.0);
}

QString LibraryFailure(const HelperFailure& failure, const ExtractorPoolOptions& options) {
    switch (failure.breakdown) {
        case HelperBreakdown::Silent:
            return QStringLiteral(
                       "The metadata library did not finish reading this file within %1 seconds.")
                .arg(SecondsText(options.watchdog));
        case HelperBreakdown::Overdue:
            return QStringLiteral(
                       "The metadata library did not finish reading this file within %1 seconds, "
                       "though it kept working on it.")
                .arg(SecondsText(options.watchdog * options.deadlineInWatchdogs));
        case HelperBreakdown::Stopped:
            return QStringLiteral("The metadata library stopped while reading this file (%1).")
                .arg(failure.how);
        case HelperBreakdown::OutOfMemory:
            return QStringLiteral(
                "The metadata library ran out of memory while reading this file.");
        default:
            return {};
    }
}

QString DetailsFailure(const HelperFailure& failure, const ExtractorPoolOptions& options) {
    switch (failure.breakdown) {
        case HelperBreakdown::Silent:
            return QStringLiteral(
                       "The file facts and details of this file were not read within %1 seconds.")
                .arg(SecondsText(options.watchdog));
        case HelperBreakdown::Overdue:
            return QStringLiteral(
                       "The file facts and details of this file were not read within %1 seconds.")
                .arg(SecondsText(options.watchdog * options.deadlineInWatchdogs));
        case HelperBreakdown::Stopped:
            return QStringLiteral(
                       "The extraction helper stopped while reading the file facts and details "
                       "of this file (%1).")
                .arg(failure.how);
        case HelperBreakdown::OutOfMemory:
            return QStringLiteral(
                "The extraction helper ran out of memory while reading the file facts and details "
                "of this file.");
        default:
            return {};
    }
}

}  // namespace

QString DescribeHelperFailure(const HelperFailure& failure, ExtractionSource source,
                              const ExtractorPoolOptions& options) {
    // What the helper sent is no record, whichever source it was reading.
    if (failure.breakdown == HelperBreakdown::Flood) {
        return QStringLiteral("The extraction helper sent more than %1 MB for this file.")
            .arg(options.maxBytesPerFile / (1024 * 1024));
    }
    if (failure.breakdown == HelperBreakdown::NotAnswering) {
        return QStringLiteral(
                   "The storage of this file is not answering: %1 files of it in a row were not "
                   "read within %2 seconds.")
            .arg(StorageConcurrency::kTimeoutsToGiveUp)
            .arg(SecondsText(options.watchdog));
    }
    if (failure.breakdown == HelperBreakdown::HeldUp) {
        return QStringLiteral(
            "The extraction helper got stuck on other files each time it read this file.");
    }
    if (failure.breakdown == HelperBreakdown::Misbehaved) {
        return QStringLiteral(
                   "This file made the metadata library misbehave: its reader sent %1, which no "
                   "real file gives.")
            .arg(failure.how);
    }
    if (failure.breakdown == HelperBreakdown::Garbled) {
        return QStringLiteral("The extraction helper sent data that cannot be read for this file.");
    }
    return source == ExtractionSource::Library ? LibraryFailure(failure, options)
                                               : DetailsFailure(failure, options);
}

}  // namespace quorvid
