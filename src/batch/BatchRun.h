#pragma once

#include <QString>
#include <QStringList>
#include <csignal>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/ProgressLine.h"

namespace quorvid {

class ExtractorPool;
class FileExtractor;
class SafeFileWriter;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSomeFilesFailed = 1;
inline constexpr int kExitUsageOrOutput = 2;

// Thrown out of any phase when the run is asked to stop (Ctrl+C); it is no
// std::exception, so no step's failure handling catches it.
struct RunInterrupted {};

// One command-line run: gathers the paths, extracts them in order and writes the
// rows in the chosen format.
class BatchRun {
  public:
    // The files are read by the helpers, or by inProcess when there are none,
    // they did not start or they break down. interrupted: set from a signal
    // handler when the run should stop.
    BatchRun(const BatchOptions& options, ExtractorPool* helpers, const FileExtractor& inProcess,
             const volatile std::sig_atomic_t& interrupted);

    // The exit status. Throws RunInterrupted; an output file is then left as it was.
    int Run();
    // One line on standard error, below the progress line, counted as no failure.
    void Say(const QString& text);

  private:
    void Gather(const QString& argument);
    void GatherFromStandardInput();
    void Extract(SafeFileWriter& output);
    void ReportFailure(const QString& file, const QString& description, int step);
    void ReportProblem(const QString& text);
    void ThrowWhenInterrupted() const;

    const BatchOptions& options_;
    ExtractorPool* helpers_;
    const FileExtractor& inProcess_;
    const volatile std::sig_atomic_t& interrupted_;
    ProgressLine progress_;
    std::vector<QString> files_;
    int failures_ = 0;
};

}  // namespace quorvid
