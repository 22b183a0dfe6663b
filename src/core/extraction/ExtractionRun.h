#pragma once

#include <optional>

#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/pool/ExtractorPool.h"
#include "core/results/ResultsGrid.h"

namespace quorvid {

class ReportingProcedure;
struct CommandContext;

inline constexpr auto kNoFilesAddedText = "No files added.";
inline constexpr auto kExtractionDoneText = "Done.";
inline constexpr auto kProcessingPrefix = "Processing: ";

// The "Start Extracting Metadata" command: one results row per entry of the
// input list, with progress, the busy pointer and the error report. It works on
// the window's lists through the command context and on the window's
// ExtractionRunning flag, so it runs without a window.
class ExtractionRun {
  public:
    // The files are read by the helper beside the program, or, when it cannot
    // be started, here with the program's metadata library and the desktop's
    // shell details.
    ExtractionRun(CommandContext& context, bool& extractionRunning);
    // The files are read by helpers started with these options, or here.
    ExtractionRun(CommandContext& context, bool& extractionRunning, ExtractorPoolOptions helpers);
    // The files are read here, with this library and shell.
    ExtractionRun(CommandContext& context, bool& extractionRunning, MediaInfoLibrary& library,
                  Shell& shell);

    void PushButton2_Click();

  private:
    void ProcessFiles(ReportingProcedure& procedure);

    CommandContext& context_;
    bool& extractionRunning_;
    std::optional<ExtractorPoolOptions> helpers_;
    GioShell desktopShell_;
    FileExtractor extractor_;
    ResultsGrid grid_;
};

}  // namespace quorvid
