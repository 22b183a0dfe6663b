#pragma once

#include <QString>
#include <QStringList>
#include <csignal>
#include <memory>
#include <optional>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/CatalogueUpdate.h"
#include "batch/FileList.h"
#include "batch/ProgressLine.h"
#include "batch/RowPlan.h"
#include "batch/StoredRows.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

class ExtractorPool;
class FileExtractor;
class ResultsStore;
class SafeFileWriter;
class Spool;
class TableWriter;

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
    // The writer of the formats that wait for every row; none for JSON Lines.
    std::unique_ptr<TableWriter> MakeTableWriter(SafeFileWriter& output, const ResultsStore& store);
    void WriteTable(TableWriter& table, Spool& rows, ResultsStore& store);
    // Reading files_ back: both throw StepFailure when the list cannot be
    // written or read back.
    void StartReadingFiles();
    QString FileAt(qsizetype position);
    // Why a scratch file left the output unwritten.
    static StepFailure ScratchFileFailure(const Spool& spool);
    void ReportFailure(const QString& file, const QString& description, int step);
    void ReportProblem(const QString& text);
    void ThrowWhenInterrupted() const;
    // --update and --merge (BatchStoredRows.cpp): the stored rows are read and
    // checked before anything is written; false when they are refused.
    bool LoadStoredRows();
    // Puts the stored rows and the files gathered into the order they are written.
    void PlanRows();
    void SayCounts();
    void WriteFileList(SafeFileWriter& output);

    const BatchOptions& options_;
    ExtractorPool* helpers_;
    const FileExtractor& inProcess_;
    const volatile std::sig_atomic_t& interrupted_;
    ProgressLine progress_;
    // Where the scratch files go: beside the output, which has room for what
    // they hold, or in the temporary folder for standard output.
    QString spoolFolder_;
    // The files to read, in the order their rows are written.
    std::unique_ptr<FileList> files_;
    // The paths given, absolute, for --update.
    std::vector<QString> givenPaths_;
    std::unique_ptr<StoredRows> stored_;
    std::optional<CatalogueUpdate> update_;
    // The columns after the catalogue's: the run's --field and --hash, or
    // those of the parts merged.
    QStringList extraHeaders_;
    // Without a plan every row is that of a file read.
    std::optional<RowPlan> plan_;
    int failures_ = 0;
};

}  // namespace quorvid
