#pragma once

#include <memory>

#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/results/ResultsGrid.h"

namespace quorvid {

class ExtractorPool;
class ReportingProcedure;
struct CommandContext;
struct ExtractorPoolOptions;

inline constexpr auto kNoFilesAddedText = "No files added.";
inline constexpr auto kExtractionDoneText = "Done.";
inline constexpr auto kProcessingPrefix = "Processing: ";

// The "Start Extracting Metadata" command: one results row per entry of the
// input list, with progress, the busy pointer and the error report. It works on
// the window's lists through the command context, so it runs without a window.
// One lives as long as the window: it refuses a second start while it runs,
// and says once what the helpers' confinement lacks.
class ExtractionRun {
  public:
    // The files are read by the helper beside the program, or, when it cannot
    // be started, here with the program's metadata library and the desktop's
    // shell details.
    explicit ExtractionRun(CommandContext& context);
    // The files are read by helpers started with these options, or here.
    ExtractionRun(CommandContext& context, ExtractorPoolOptions helpers);
    // The files are read here, with this library and shell.
    ExtractionRun(CommandContext& context, MediaInfoLibrary& library, Shell& shell);
    ~ExtractionRun();

    void PushButton2_Click();
    bool ExtractionRunning() const { return extractionRunning_; }

  private:
    void ProcessFiles(ReportingProcedure& procedure);
    void ResetColumns(ReportingProcedure& procedure);
    std::unique_ptr<ExtractorPool> StartReaders(ReportingProcedure& procedure);
    void ReportConfinement(const ExtractorPool& pool);
    void ProcessFile(ReportingProcedure& procedure, int position, int count, const QString& path);

    CommandContext& context_;
    std::unique_ptr<ExtractorPoolOptions> helpers_;
    GioShell desktopShell_;
    FileExtractor extractor_;
    ResultsGrid grid_;
    bool extractionRunning_ = false;
    bool confinementNoteShown_ = false;
};

}  // namespace quorvid
