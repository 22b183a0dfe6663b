// The run with sandboxed helpers against the run in one thread and against the
// mediainfo program, over 1,000 clips of about 2 MB made by the media script:
// files per second of (a) the one-thread run, (b) the run with helpers, (c)
// mediainfo with a template of the same 41 fields; the longest time the event
// loop did not turn during (b); the peak memory of the process running (b), with
// and without a file on which the library loops; what confining a reader costs
// per file.
//
//   bench_extraction_pool [FILE-COUNT]
#include "BenchFiles.h"
#include "BenchMemory.h"
#include "HeadlessWindow.h"

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

struct Run {
    double seconds = 0;
    double processorSeconds = 0;  // of this process alone
    double helperProcessorSeconds = 0;
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

// Milliseconds of what a helper adds to start a confined reader: the folder's
// rules, the fork, the reader's own rules and filter, and the wait for a
// reader that then reads nothing. Measured over readers for the given paths.
double ConfinementMsPerReader(const QStringList& paths) {
    ReaderConfinement confinement;
    QElapsedTimer clock;
    clock.start();
    const QStringList sample = paths.mid(0, 200);
    for (const QString& path : sample) {
        if (confinement.Prepare(path)) {
            Fail(QStringLiteral("the rules of a folder could not be made"));
        }
        const pid_t reader = fork();
        if (reader == 0) {
            _exit(confinement.Apply(path) ? 1 : 0);
        }
        int status = 0;
        waitpid(reader, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            Fail(QStringLiteral("a reader could not confine itself"));
        }
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6 / static_cast<double>(sample.size());
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
        if (a.rows != count || b.rows != count || !a.warnings.isEmpty() ||
            b.warnings != a.warnings) {
            Fail(QStringLiteral("the runs went wrong: %1 and %2 rows, %3 and %4 reports")
                     .arg(a.rows)
                     .arg(b.rows)
                     .arg(a.warnings.size())
                     .arg(b.warnings.size()));
        }
        oneThread = std::min(oneThread, a.seconds);
        pool = std::min(pool, b.seconds);
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
        "(b) run with helpers:    %7.1f files/s (%.2f s; the window's own processor "
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
    // A reader serves a run of files of one folder: here one per helper.
    const double confinementMs = ConfinementMsPerReader(paths);
    std::printf(
        "confinement: %.3f ms a reader (Landlock %s), one reader a helper for the %d files of "
        "one folder: %.4f ms a file, %.2f%% of the helpers' processor time per file in (b)\n",
        confinementMs, landlock::Abi() > 0 ? "and filter" : "unavailable: filter alone", count,
        confinementMs * cores / count,
        100.0 * (confinementMs * cores / count) /
            (1000.0 * (poolAllProcessor - poolProcessor) / count));
    std::printf("mediainfo's first line for the first file: %s\n",
                qPrintable(sample.section(QLatin1Char('\n'), 0, 0)));
    return 0;
}
