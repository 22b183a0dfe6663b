// The run with sandboxed helpers against the run in one thread and against the
// mediainfo program, over 1,000 clips of about 2 MB made by the media script:
// files per second of (a) the one-thread run, (b) the run with helpers, a
// reader per file, (b') the same with a reader per folder, as before every file
// had its own, (c) mediainfo with a template of the same 41 fields; the longest
// time the event loop did not turn during (b); the peak memory of the process
// running (b), with and without a file on which the library loops; where the
// cost of a reader goes.
//
//   bench_extraction_pool [FILE-COUNT]
#include "BenchFiles.h"
#include "BenchMemory.h"
#include "HeadlessWindow.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "core/commands/ExtractionRun.h"
#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/GioShell.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractorPool.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "extractor/Landlock.h"
#include "extractor/ReaderConfinement.h"

using namespace quorvid;

namespace {

constexpr int kRounds = 3;
// The helper of the file on which the library loops, taking memory as it goes,
// is given up after this long; the window waits 60 s.
constexpr int kLoopingWatchdogMs = 10000;

[[noreturn]] void Fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    std::exit(1);
}

QString HelperProgram() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../") + QString::fromLatin1(kExtractorProgramName));
}

// Of the child processes that have ended: the helpers, once a run is over.
double ChildrenProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Page faults of the child processes that have ended, readers included.
long ChildrenMinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_minflt;
}

struct Run {
    double seconds = 0;
    double processorSeconds = 0;  // of this process alone
    double helperProcessorSeconds = 0;
    long helperMinorFaults = 0;
    qint64 longestGapMs = 0;
    int gapsOver100Ms = 0;
    QStringList warnings;
    int rows = 0;
};

// One click of the run over paths, with helpers or in this thread.
Run RunOnce(const QStringList& paths, const std::optional<ExtractorPoolOptions>& helpers) {
    bench::NoEvents noEvents;
    bench::LoopEvents loopEvents;
    bench::HeadlessWindow window(paths, helpers ? static_cast<EventPump&>(loopEvents) : noEvents,
                                 QCoreApplication::applicationDirPath());

    // A timer that should tick every 5 ms: the longest wait between two ticks
    // is the longest time the window would not have answered.
    Run run;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.longestGapMs = std::max(run.longestGapMs, sinceTick.elapsed());
        run.gapsOver100Ms += sinceTick.elapsed() >= 100 ? 1 : 0;
        sinceTick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    const double processorStart = bench::ProcessorSeconds();
    const double helperProcessorStart = ChildrenProcessorSeconds();
    const long helperFaultsStart = ChildrenMinorFaults();
    sinceTick.start();
    ticker.start(5);
    if (helpers) {
        ExtractionRun(window.context, *helpers).PushButton2_Click();
    } else {
        static GioShell shell;
        ExtractionRun(window.context,
                      ProgramMediaInfoLibrary(QCoreApplication::applicationDirPath()), shell)
            .PushButton2_Click();
    }
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.processorSeconds = bench::ProcessorSeconds() - processorStart;
    run.helperProcessorSeconds = ChildrenProcessorSeconds() - helperProcessorStart;
    run.helperMinorFaults = ChildrenMinorFaults() - helperFaultsStart;
    run.rows = window.results.ItemCount();
    run.warnings = window.dialogs.warnings;
    return run;
}

// Seconds of the mediainfo program over paths, or a negative number without it.
double MediainfoSeconds(const QString& templatePath, const QStringList& paths, QString* sample) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("mediainfo"));
    if (program.isEmpty()) {
        return -1;
    }
    QProcess mediainfo;
    mediainfo.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    mediainfo.start(program,
                    QStringList{QStringLiteral("--Output=file://") + templatePath} + paths);
    if (!mediainfo.waitForFinished(-1) || mediainfo.exitCode() != 0) {
        Fail(QStringLiteral("mediainfo failed"));
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    QProcess one;
    one.start(program, {QStringLiteral("--Output=file://") + templatePath, paths.front()});
    one.waitForFinished(-1);
    *sample = QString::fromUtf8(one.readAllStandardOutput()).trimmed();
    return seconds;
}

// The peak memory of a fresh process that runs (b) over the listed paths.
long PeakOfRunInOwnProcess(const QStringList& paths, const QString& folder) {
    const QString list = QDir(folder).filePath(QStringLiteral("list.txt"));
    QFile file(list);
    if (!file.open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("cannot write the list"));
    }
    file.write(paths.join(QLatin1Char('\n')).toUtf8());
    file.close();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-of-run"), list});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        Fail(QStringLiteral("the measuring child failed"));
    }
    return child.readAllStandardOutput().trimmed().toLong();
}

int PrintPeakOfRun(const QString& list) {
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    const QStringList paths = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    ExtractorPoolOptions helpers = ProgramExtractorOptions({});
    helpers.program = HelperProgram();
    helpers.watchdog = std::chrono::milliseconds(kLoopingWatchdogMs);
    const Run run = RunOnce(paths, helpers);
    if (run.rows != paths.size()) {
        return 1;
    }
    std::printf("%ld\n", bench::PeakMemoryKb());
    return 0;
}

// Milliseconds a reader costs before it reads: forked and waited for; with its
// confinement (the folder's rules made once, the reader's own layer and
// filter); the libraries' pages populated, which a reader forked from the
// helper would otherwise fault in as it touches them. Over readers for paths.
struct ReaderCosts {
    double forkMs = 0;
    double confineMs = 0;
    double populateMs = 0;
};

// Populates the page tables of every library mapping, one call a mapping.
bool PopulateLibraries() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields[5].contains(".so") || !fields[1].startsWith('r')) {
            continue;
        }
        const QList<QByteArray> range = fields[0].split('-');
        const auto start = static_cast<quintptr>(range[0].toULongLong(nullptr, 16));
        const auto end = static_cast<quintptr>(range[1].toULongLong(nullptr, 16));
        madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_READ);
    }
    return true;
}

double MsPerReader(const QStringList& sample, const std::function<bool(const QString&)>& reader) {
    QElapsedTimer clock;
    clock.start();
    for (const QString& path : sample) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(reader(path) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            Fail(QStringLiteral("a reader failed"));
        }
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6 / static_cast<double>(sample.size());
}

ReaderCosts MeasureReaderCosts(const QStringList& paths) {
    const QStringList sample = paths.mid(0, 200);
    ReaderConfinement confinement;
    if (confinement.Prepare(sample.front())) {
        Fail(QStringLiteral("the rules of a folder could not be made"));
    }
    ReaderCosts costs;
    costs.forkMs = MsPerReader(sample, [](const QString&) { return true; });
    costs.populateMs = MsPerReader(sample, [](const QString&) { return PopulateLibraries(); });
    costs.confineMs =
        MsPerReader(sample, [&](const QString& path) { return !confinement.Apply(path); });
    return costs;
}

// A reader per file against a reader per folder: what the safe default costs.
void PrintReaderFigures(const QStringList& paths, const Run& perFile, const Run& perFolder,
                        double mediainfo) {
    const auto count = static_cast<double>(paths.size());
    const auto helperMs = [count](const Run& run) {
        return 1000.0 * run.helperProcessorSeconds / count;
    };
    std::printf("(b') a reader per folder: %7.1f files/s (%.2f s)\n", count / perFolder.seconds,
                perFolder.seconds);
    std::printf(
        "a reader per file against one per folder: %.2f of its speed; the helpers' processor "
        "time %.2f against %.2f ms a file, page faults %.0f against %.0f a file\n",
        perFolder.seconds / perFile.seconds, helperMs(perFile), helperMs(perFolder),
        static_cast<double>(perFile.helperMinorFaults) / count,
        static_cast<double>(perFolder.helperMinorFaults) / count);
    if (mediainfo < 1e9) {
        std::printf("ratio (b')/(c): %.2f\n", mediainfo / perFolder.seconds);
    }
    const ReaderCosts costs = MeasureReaderCosts(paths);
    std::printf(
        "a reader's own cost before it reads, forked from this benchmark (larger than a helper): "
        "fork and end %.3f ms, confinement (Landlock %s) "
        "%.3f ms more; populating every library mapping would add %.3f ms\n",
        costs.forkMs, landlock::Abi() > 0 ? "and filter" : "unavailable: filter alone",
        costs.confineMs - costs.forkMs, costs.populateMs - costs.forkMs);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak-of-run") {
        return PrintPeakOfRun(QString::fromLocal8Bit(argv[2]));
    }
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (!QFileInfo(HelperProgram()).isExecutable()) {
        Fail(QStringLiteral("no helper program at ") + HelperProgram());
    }
    const int cores = std::max(1, QThread::idealThreadCount());
    QTemporaryDir folder;
    const QStringList paths = bench::MakeBenchFiles(
        QDir(folder.path()).filePath(QStringLiteral("clips")), folder.path(), count);
    ExtractorPoolOptions helpers;
    helpers.program = HelperProgram();
    const QString templatePath = bench::MediainfoTemplate(folder.path());

    // Rounds alternate the three and keep each one's best, so that none pays
    // alone for a cold cache or a burst of other work on the machine.
    double oneThread = 1e9;
    double pool = 1e9;
    Run perFile;
    Run perFolder;
    perFile.seconds = perFolder.seconds = 1e9;
    ExtractorPoolOptions readersPerFolder = helpers;
    readersPerFolder.readersPerFolder = true;
    double poolProcessor = 1e9;
    double oneThreadProcessor = 1e9;
    double poolAllProcessor = 1e9;
    double mediainfo = 1e9;
    qint64 longestGap = 0;
    int gapsOver100Ms = 0;
    QString sample;
    for (int round = 0; round < kRounds; ++round) {
        const Run a = RunOnce(paths, std::nullopt);
        const Run b = RunOnce(paths, helpers);
        const Run folderReaders = RunOnce(paths, readersPerFolder);
        if (a.rows != count || b.rows != count || folderReaders.rows != count ||
            !a.warnings.isEmpty() || b.warnings != a.warnings) {
            Fail(QStringLiteral("the runs went wrong: %1 and %2 rows, %3 and %4 reports")
                     .arg(a.rows)
                     .arg(b.rows)
                     .arg(a.warnings.size())
                     .arg(b.warnings.size()));
        }
        oneThread = std::min(oneThread, a.seconds);
        pool = std::min(pool, b.seconds);
        perFile = b.seconds < perFile.seconds ? b : perFile;
        perFolder = folderReaders.seconds < perFolder.seconds ? folderReaders : perFolder;
        poolProcessor = std::min(poolProcessor, b.processorSeconds);
        oneThreadProcessor = std::min(oneThreadProcessor, a.processorSeconds);
        poolAllProcessor =
            std::min(poolAllProcessor, b.processorSeconds + b.helperProcessorSeconds);
        longestGap = std::max(longestGap, b.longestGapMs);
        gapsOver100Ms += b.gapsOver100Ms;
        const double c = MediainfoSeconds(templatePath, paths, &sample);
        if (c >= 0) {
            mediainfo = std::min(mediainfo, c);
        }
    }
    const QString looping =
        QStringLiteral(QUORVID_SOURCE_DIR "/tests/media/damaged/looping-1.webm");
    const long peakWithout = PeakOfRunInOwnProcess(paths, folder.path());
    const long peakWith = PeakOfRunInOwnProcess(QStringList(paths) << looping, folder.path());

    std::printf("files: %d of about %lld kB, best of %d rounds, %d helpers\n", count,
                QFileInfo(paths.front()).size() / 1024, kRounds,
                std::max(1, QThread::idealThreadCount()));
    std::printf("(a) one-thread run:      %7.1f files/s (%.2f s)\n", count / oneThread, oneThread);
    std::printf(
        "(b) run with helpers, a reader per file: %7.1f files/s (%.2f s; the window's own "
        "processor "
        "time %.2f s)\n",
        count / pool, pool, poolProcessor);
    if (mediainfo < 1e9) {
        std::printf("(c) mediainfo template:  %7.1f files/s (%.2f s)\n", count / mediainfo,
                    mediainfo);
    } else {
        std::printf("(c) mediainfo template:  not installed\n");
    }
    std::printf("ratio (b)/(a): %.2f (target at least 1.8)\n", oneThread / pool);
    // What the machine's load hides: the work of each run in processor seconds.
    std::printf(
        "processor time: (a) %.2f s, (b) %.2f s with its helpers; (b)/(a) on %d idle "
        "cores would be %.2f\n",
        oneThreadProcessor, poolAllProcessor, cores,
        oneThreadProcessor / std::max(poolAllProcessor / cores, poolProcessor));
    if (mediainfo < 1e9) {
        std::printf("ratio (b)/(c): %.2f (target at least 1.6)\n", mediainfo / pool);
    }
    std::printf(
        "longest time between two turns of the event loop during (b): %lld ms "
        "(target under 100)\n",
        longestGap);
    std::printf(
        "peak memory of the process running (b): %ld kB; with a looping file: %ld kB; "
        "the looping file adds %.1f MB (target under 50, watchdog %d s)\n",
        peakWithout, peakWith, static_cast<double>(peakWith - peakWithout) / 1024,
        kLoopingWatchdogMs / 1000);
    PrintReaderFigures(paths, perFile, perFolder, mediainfo);
    std::printf("mediainfo's first line for the first file: %s\n",
                qPrintable(sample.section(QLatin1Char('\n'), 0, 0)));
    return 0;
}
