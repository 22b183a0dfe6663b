#pragma once

#include "extract/FileExtractor.h"
#include "extract/GioShell.h"
#include "extract/ResultsGrid.h"

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
    // With the program's metadata library and the desktop's shell details.
    ExtractionRun(CommandContext& context, bool& extractionRunning);
    ExtractionRun(CommandContext& context, bool& extractionRunning, MediaInfoLibrary& library,
                  Shell& shell);

    void PushButton2_Click();

  private:
    void ProcessFiles(ReportingProcedure& procedure);

    CommandContext& context_;
    bool& extractionRunning_;
    GioShell desktopShell_;
    FileExtractor extractor_;
    ResultsGrid grid_;
};

}  // namespace quorvid
