// Extraction speed over 1,000 copies of the committed media: (a) a plain loop
// of the five library calls over the 41 fields, (b) the whole run (library,
// file facts, desktop details) writing rows into the results grid headless.
#include "BenchFiles.h"
#include "BenchMemory.h"
#include "HeadlessWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "core/commands/ExtractionRun.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"

using namespace quorvid;

namespace {

constexpr int kFileCount = 1000;
constexpr int kRounds = 5;

// Wall and processor seconds of one timed part. The processor time shows the
// cost of the work itself when other programs compete for the machine.
struct Timing {
    double wall = 1e9;
    double processor = 1e9;
    void KeepBest(const Timing& other) {
        wall = std::min(wall, other.wall);
        processor = std::min(processor, other.processor);
    }
};

class Stopwatch {
  public:
    Stopwatch() : processorStart_(bench::ProcessorSeconds()) { timer_.start(); }
    Timing Stop() const {
        return {static_cast<double>(timer_.nsecsElapsed()) / 1e9,
                bench::ProcessorSeconds() - processorStart_};
    }

  private:
    QElapsedTimer timer_;
    double processorStart_;
};

Timing PlainLibraryLoop(MediaInfoLibrary& library, const QStringList& paths) {
    const auto& catalogue = FieldCatalogue();
    const Stopwatch stopwatch;
    qsizetype characters = 0;
    for (const QString& path : paths) {
        MediaInfoHandle handle = library.MediaInfo_New();
        library.MediaInfo_Open(handle, path);
        for (int cell = kFirstLibraryCell; cell < kFirstLibraryCell + kLibraryFieldCount; ++cell) {
            const CatalogueField& field = catalogue[static_cast<size_t>(cell)];
            characters += library.ReadField(handle, field.stream, field.parameter).size();
        }
        library.MediaInfo_Close(handle);
        library.MediaInfo_Delete(handle);
    }
    const Timing timing = stopwatch.Stop();
    if (characters == 0) {
        std::fprintf(stderr, "the library read nothing\n");
        std::exit(1);
    }
    return timing;
}

Timing WholeRun(MediaInfoLibrary& library, const QStringList& paths, const QString& programFolder) {
    bench::NoEvents events;
    bench::HeadlessWindow window(paths, events, programFolder);
    GioShell shell;
    const Stopwatch stopwatch;
    ExtractionRun(window.context, library, shell).PushButton2_Click();
    const Timing timing = stopwatch.Stop();
    const QStringList& reports = window.dialogs.warnings;
    if (window.results.ItemCount() != paths.size() || !reports.isEmpty()) {
        std::fprintf(stderr, "the run went wrong: %d rows, %d reports %s\n",
                     window.results.ItemCount(), static_cast<int>(reports.size()),
                     reports.isEmpty() ? "" : qPrintable(reports.last()));
        std::exit(1);
    }
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QString mediaFolder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                         : QFileInfo(QString::fromUtf8(__FILE__))
                                               .dir()
                                               .filePath(QStringLiteral("../tests/media"));
    QTemporaryDir folder;
    const QStringList paths =
        bench::NumberedCopies(mediaFolder,
                              {"h264-aac.mp4", "mpeg4-mp3.avi", "clip with spaces.mkv",
                               "vidéo ñ.mov", "vp8-silent.webm", "audio-only.m4a"},
                              folder.path(), kFileCount);
    MediaInfoLibrary library(QCoreApplication::applicationDirPath());

    // Alternate the two and keep the best round of each, so that neither pays
    // for a cold cache alone.
    Timing plain;
    Timing whole;
    for (int round = 0; round < kRounds; ++round) {
        plain.KeepBest(PlainLibraryLoop(library, paths));
        whole.KeepBest(WholeRun(library, paths, QCoreApplication::applicationDirPath()));
    }
    std::printf("files: %d (best of %d rounds)\n", kFileCount, kRounds);
    std::printf("(a) library calls only: %.1f files/s (%.3f s), %.1f files per processor second\n",
                kFileCount / plain.wall, plain.wall, kFileCount / plain.processor);
    std::printf("(b) whole extraction:   %.1f files/s (%.3f s), %.1f files per processor second\n",
                kFileCount / whole.wall, whole.wall, kFileCount / whole.processor);
    std::printf("ratio (b)/(a): %.2f by the clock, %.2f by processor time (target at least 0.80)\n",
                plain.wall / whole.wall, plain.processor / whole.processor);
    std::printf("peak memory: %ld kB\n", bench::PeakMemoryKb());
    return 0;
}
