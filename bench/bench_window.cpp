// The real window (Form1 with its grid, on the offscreen platform, helpers beside
// the build's programs) against its peers, clicked as a person would:
// - 1,000 clips of about 2 MB: the window against the mediainfo program, and
//   against itself with a reader per folder in its helpers instead of one per file;
// - 100,000 small clips in 100 folders: the window against quorvid-batch;
// files per second, the window process's processor time per row, its memory,
// the longest time its event loop did not turn, and each export of the large grid.
//
//   bench_window [SMALL-FILE-COUNT]
//
// The count may also come from QUORVID_BENCH_SMALL_FILES (default 100,000). The
// media are kept in $QUORVID_BENCH_MEDIA (default /tmp/quorvid-bench-media), so
// that a second run does not make them again.
#include "BenchFiles.h"
#include "BenchMemory.h"
#include "BenchWindow.h"
#include "LoopWatch.h"
#include "WorkbookFileOnly.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>

#include "core/extraction/FieldCatalogue.h"
#include "core/pool/ExtractorPool.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "window/DesktopServices.h"
#include "window/Form1.h"
#include "window/SystemClipboard.h"

using namespace quorvid;
using bench::Fail;

namespace {

constexpr int kLargeFileCount = 1000;
constexpr int kDefaultSmallFileCount = 100000;
constexpr int kLargeRounds = 2;

void Say(const char* format, auto... values) {
    std::printf(format, values...);
    std::fflush(stdout);
}

QByteArray LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    file.open(QIODevice::ReadOnly);
    return file.readAll().trimmed();
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Processor seconds of this process alone (the window's), all its threads.
double OwnProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

struct Measured {
    double seconds = 0;
    double processorSeconds = 0;
    qint64 longestGapMs = 0;
    long peakKb = 0;      // the process's peak resident size during the action
    long residentKb = 0;  // how much the resident size grew over it
};

template <typename Action>
Measured Measure(Action&& action) {
    QCoreApplication::processEvents();
    bench::ResetPeakMemory();
    const long residentBefore = bench::KilobytesOf("VmRSS");
    const double processorBefore = OwnProcessorSeconds();
    QElapsedTimer clock;
    clock.start();
    Measured measured;
    {
        bench::LoopWatch watch;
        action();
        measured.longestGapMs = watch.longestMs();
    }
    measured.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    measured.processorSeconds = OwnProcessorSeconds() - processorBefore;
    measured.peakKb = bench::PeakMemoryKb();
    measured.residentKb = bench::KilobytesOf("VmRSS") - residentBefore;
    return measured;
}

// A folder holds a set once its marker is there.
QStringList LargeFiles(const QString& media) {
    const QString target = QDir(media).filePath(QStringLiteral("large"));
    const QString marker = QDir(target).filePath(QStringLiteral(".complete"));
    if (!QFileInfo::exists(marker)) {
        QDir(target).removeRecursively();
        Say("making %d clips of about 2 MB in %s ...\n", kLargeFileCount, qPrintable(target));
        bench::MakeBenchFiles(QDir(media).filePath(QStringLiteral("large-clips")), target,
                              kLargeFileCount);
        QFile(marker).open(QIODevice::WriteOnly);
    }
    return bench::FilesUnder(target);
}

// Wall seconds of a program run to its end with its output thrown away.
double ProgramSeconds(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        Fail(program + QStringLiteral(" failed"));
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Clicks "Start Extracting Metadata"; fails unless every file got its row
// and the run ended with "Done." and no report.
Measured Extract(bench::BenchWindow& window, int expectedRows) {
    window.dialogs.messages.clear();
    const Measured measured = Measure([&] { window.form->PushButton(2)->click(); });
    window.CheckRun(expectedRows);
    return measured;
}

void PrintRun(const char* what, int rows, const Measured& run) {
    Say("%s: %d rows in %.2f s, %.0f files/s; window process %.3f ms processor a row; longest "
        "event-loop gap %lld ms; peak resident %ld MB, resident grew %ld MB\n",
        what, rows, run.seconds, rows / run.seconds, 1000 * run.processorSeconds / rows,
        run.longestGapMs, run.peakKb / 1024, run.residentKb / 1024);
}

int SmallFileCount(int argc, char** argv) {
    if (argc > 1) {
        return std::atoi(argv[1]);
    }
    const QString configured = qEnvironmentVariable("QUORVID_BENCH_SMALL_FILES");
    return configured.isEmpty() ? kDefaultSmallFileCount : configured.toInt();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int smallCount = SmallFileCount(argc, argv);
    if (smallCount < bench::kSmallFolderCount) {
        Fail(QStringLiteral("at least %1 small files").arg(bench::kSmallFolderCount));
    }
    const QString mediainfo = QStandardPaths::findExecutable(QStringLiteral("mediainfo"));
    if (mediainfo.isEmpty()) {
        Fail(QStringLiteral("the mediainfo program is not installed"));
    }
    const QString media = bench::MediaFolder();
    const QStringList largeFiles = LargeFiles(media);
    const QString smallRoot = bench::SmallFilesRoot(media, smallCount);
    const QStringList smallFiles = bench::FilesUnder(smallRoot);
    if (largeFiles.size() != kLargeFileCount || smallFiles.size() != smallCount) {
        Fail(QStringLiteral("the media in %1 are incomplete; remove the folder").arg(media));
    }
    QTemporaryDir work;
    const QString templatePath = bench::MediainfoTemplate(work.path());
    bench::BenchWindow window(work.path());
    Say("%d processors; load average %s\n", QThread::idealThreadCount(), LoadAverage().constData());

    // Rounds alternate the window and its peer and keep each one's best, so that
    // neither pays alone for a cold cache or a burst of other work.
    Measured large{1e9};
    Measured largePerFolder{1e9};
    double mediainfoSeconds = 1e9;
    for (int round = 0; round < kLargeRounds; ++round) {
        window.List(largeFiles);
        window.ReadPerFolder(true);
        const Measured perFolder = Extract(window, kLargeFileCount);
        window.ReadPerFolder(false);
        PrintRun("window, large clips, a reader per folder", kLargeFileCount, perFolder);
        largePerFolder = perFolder.seconds < largePerFolder.seconds ? perFolder : largePerFolder;
        window.List(largeFiles);
        const Measured run = Extract(window, kLargeFileCount);
        PrintRun("window, large clips", kLargeFileCount, run);
        if (run.seconds < large.seconds) {
            large = run;
        }
        const double peer = ProgramSeconds(
            mediainfo, QStringList{QStringLiteral("--Output=file://") + templatePath} + largeFiles);
        Say("mediainfo, large clips: %.2f s\n", peer);
        mediainfoSeconds = std::min(mediainfoSeconds, peer);
    }

    window.form->ListView2Items().ClearItems();
    window.List(smallFiles);
    const QString batchOutput = work.filePath(QStringLiteral("batch.txt"));
    const double batchSeconds =
        ProgramSeconds(QStringLiteral(QUORVID_BATCH_PROGRAM),
                       {QStringLiteral("-q"), QStringLiteral("-o"), batchOutput, smallRoot});
    Say("quorvid-batch, small clips: %.2f s\n", batchSeconds);
    QFile::remove(batchOutput);
    const Measured small = Extract(window, smallCount);
    PrintRun("window, small clips", smallCount, small);

    // The exports of the large grid, each by its button.
    window.dialogs.saveAnswer = work.filePath(QStringLiteral("results.txt"));
    const Measured text = Measure([&] { window.form->PushButton(8)->click(); });
    const qint64 textBytes = QFileInfo(window.dialogs.saveAnswer).size();
    QFile::remove(window.dialogs.saveAnswer);
    const Measured clipboard = Measure([&] { window.form->PushButton(4)->click(); });
    const qsizetype clipboardCharacters = window.clipboard.Text().size();
    window.clipboard.Clear();
    const Measured workbook = Measure([&] { window.form->PushButton(9)->click(); });
    const qint64 workbookBytes = QFileInfo(work.filePath(QStringLiteral("results.xlsx"))).size();
    if (!window.dialogs.warnings.isEmpty()) {
        Fail(QStringLiteral("an export was reported as failed"));
    }

    Say("\nload average after: %s\n", LoadAverage().constData());
    Say("%d clips of about %lld kB: window %.1f files/s (%.2f s), mediainfo %.1f files/s (%.2f "
        "s); ratio window/mediainfo %.2f (target at least 1.8)\n",
        kLargeFileCount, QFileInfo(largeFiles.front()).size() / 1024,
        kLargeFileCount / large.seconds, large.seconds, kLargeFileCount / mediainfoSeconds,
        mediainfoSeconds, mediainfoSeconds / large.seconds);
    Say("with a reader per folder: window %.1f files/s (%.2f s), ratio to mediainfo %.2f; a "
        "reader per file runs at %.2f of its speed\n",
        kLargeFileCount / largePerFolder.seconds, largePerFolder.seconds,
        mediainfoSeconds / largePerFolder.seconds, largePerFolder.seconds / large.seconds);
    Say("%d small clips in %d folders: window %.1f files/s (%.2f s), quorvid-batch %.1f files/s "
        "(%.2f s); window time / batch time %.2f (target at most 1.25)\n",
        smallCount, bench::kSmallFolderCount, smallCount / small.seconds, small.seconds,
        smallCount / batchSeconds, batchSeconds, small.seconds / batchSeconds);
    Say("window process's processor time a row: %.3f ms at %d rows, %.3f ms at %d rows (target "
        "at most 0.3)\n",
        1000 * large.processorSeconds / kLargeFileCount, kLargeFileCount,
        1000 * small.processorSeconds / smallCount, smallCount);
    Say("window process's memory over the run of %d rows: peak resident %ld MB (target under "
        "300), grown by %ld MB, %.2f kB a row\n",
        smallCount, small.peakKb / 1024, small.residentKb / 1024,
        static_cast<double>(small.residentKb) / smallCount);
    Say("longest event-loop gap: %lld ms at %d rows, %lld ms at %d rows (target under 100)\n",
        large.longestGapMs, kLargeFileCount, small.longestGapMs, smallCount);
    const auto printExport = [&](const char* what, const Measured& measured,
                                 const QString& detail) {
        Say("export at %d rows, %-15s %6.2f s, longest event-loop gap %lld ms, peak resident %ld "
            "MB, %s\n",
            smallCount, what, measured.seconds, measured.longestGapMs, measured.peakKb / 1024,
            qPrintable(detail));
    };
    printExport("text file:", text, QStringLiteral("%1 MB").arg(textBytes / 1e6, 0, 'f', 1));
    printExport("clipboard:", clipboard,
                QStringLiteral("%1 M characters").arg(clipboardCharacters / 1e6, 0, 'f', 1));
    printExport("workbook:", workbook, QStringLiteral("%1 MB").arg(workbookBytes / 1e6, 0, 'f', 1));
    return 0;
}
