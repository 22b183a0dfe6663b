// quorvid-batch over whole archives, one run each (the machine is shared):
// - --update over 10,000 unchanged files against the full run that wrote the
//   catalogue: wall time of each, the ratio and its target, and whether the
//   catalogue came back byte for byte;
// - the program's own peak memory (VmHWM, its helpers left out) in each format
//   at 10,000 and at 100,000 small files: under 100 MB, and flat;
// - the helpers' throughput over the 10,000 small files with --jobs 1, 2 and 4.
//
// The clips of make-media.sh --bench are made once and kept in /tmp; the
// 10,000 files of the update are hard links to them, so they cost no disk. The
// small files are those of BenchFiles.h, kept in $QUORVID_BENCH_MEDIA.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <vector>

#include "BenchFiles.h"
#include "BenchProgramRun.h"

namespace {

constexpr int kFileCount = 10000;
constexpr double kTargetRatio = 20;
constexpr int kFewSmallFiles = 10000;
constexpr int kManySmallFiles = 100000;
constexpr long kTargetPeakMb = 100;
constexpr double kFlatWithin = 0.2;

const QString kClips = QStringLiteral("/tmp/quorvid-bench-clips");
const QString kFiles = QStringLiteral("/tmp/quorvid-bench-update-%1").arg(kFileCount);

void MakeFilesOnce() {
    if (QDir(kFiles).entryList(QDir::Files).size() == kFileCount) {
        return;
    }
    if (QDir(kClips).entryList(QDir::Files).isEmpty()) {
        QDir(kClips).removeRecursively();
        bench::MakeBenchFiles(kClips, kClips + QStringLiteral("-first"), 1);
        QDir(kClips + QStringLiteral("-first")).removeRecursively();
    }
    const QStringList clips = QDir(kClips).entryList(QDir::Files, QDir::Name);
    QDir(kFiles).removeRecursively();
    QDir().mkpath(kFiles);
    for (int i = 0; i < kFileCount; ++i) {
        const QString& clip = clips[i % clips.size()];
        const QString path = QDir(kFiles).filePath(
            QStringLiteral("%1-%2").arg(i, 5, 10, QLatin1Char('0')).arg(clip));
        if (link(QFile::encodeName(QDir(kClips).filePath(clip)).constData(),
                 QFile::encodeName(path).constData()) != 0) {
            std::fprintf(stderr, "cannot link %s\n", qPrintable(path));
            std::exit(1);
        }
    }
}

// Wall seconds of one run; its standard error in err.
double Timed(const QStringList& arguments, QByteArray& err) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM), arguments);
    process.waitForFinished(-1);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    err = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > 1) {
        std::fprintf(stderr, "quorvid-batch failed: %s\n", err.constData());
        std::exit(1);
    }
    return seconds;
}

void CompareUpdateWithFullRun() {
    MakeFilesOnce();
    const QString catalogue = QStringLiteral("/tmp/quorvid-bench-update-catalogue.jsonl");
    QByteArray err;
    const double full = Timed({QStringLiteral("-q"), QStringLiteral("--format=json"),
                               QStringLiteral("-o"), catalogue, kFiles},
                              err);
    const QByteArray written = bench::ReadAll(catalogue);
    // A file changed in the second the catalogue was written is read again.
    QThread::msleep(1100);
    const double update =
        Timed({QStringLiteral("-q"), QStringLiteral("--update"), catalogue, kFiles}, err);
    const double ratio = full / update;
    std::printf(
        "%d unchanged files: full run %.2f s, --update %.3f s, %.1f times as fast "
        "(target: at least %.0f) %s\n",
        kFileCount, full, update, ratio, kTargetRatio, ratio >= kTargetRatio ? "met" : "MISSED");
    std::printf("--update said: %s", err.constData());
    std::printf("catalogue after --update %s the full run's\n",
                bench::ReadAll(catalogue) == written ? "equals" : "DIFFERS FROM");
    std::fflush(stdout);
    QFile::remove(catalogue);
}

// One run of quorvid-batch with the arguments, its standard output thrown away.
bench::Measured RunBatch(const QStringList& arguments) {
    const bench::Measured run =
        bench::RunMeasured(QStringList{QStringLiteral(QUORVID_BATCH_PROGRAM)} + arguments,
                           QStringLiteral("/dev/null"));
    if (run.status < 0 || run.status > 1) {
        std::fprintf(stderr, "quorvid-batch %s ended with status %d\n",
                     qPrintable(arguments.join(u' ')), run.status);
        std::exit(1);
    }
    return run;
}

void MeasureMemoryOfEachFormat(const QString& few, const QString& many, const QString& work) {
    for (const char* format : {"text", "csv", "json", "xlsx"}) {
        const QString output = QDir(work).filePath(QStringLiteral("rows.") + format);
        bench::Measured runs[2];
        qint64 bytes[2] = {};
        const QString roots[2] = {few, many};
        for (int i = 0; i < 2; ++i) {
            runs[i] =
                RunBatch({QStringLiteral("-q"), QStringLiteral("--format"),
                          QString::fromLatin1(format), QStringLiteral("-o"), output, roots[i]});
            bytes[i] = QFileInfo(output).size();
            QFile::remove(output);
        }
        const double growth = static_cast<double>(runs[1].peakKb - runs[0].peakKb) /
                              static_cast<double>(runs[0].peakKb);
        const bool met = runs[1].peakKb < kTargetPeakMb * 1024 && growth <= kFlatWithin;
        std::printf(
            "--format %-4s peak memory of quorvid-batch: %.1f MB at %d files (%.0f s, %.0f MB "
            "written), %.1f MB at %d files (%.0f s, %.0f MB written): %+.0f%% (target under %ld "
            "MB, within %+.0f%%) %s\n",
            format, runs[0].peakKb / 1024.0, kFewSmallFiles, runs[0].seconds, bytes[0] / 1e6,
            runs[1].peakKb / 1024.0, kManySmallFiles, runs[1].seconds, bytes[1] / 1e6, 100 * growth,
            kTargetPeakMb, 100 * kFlatWithin, met ? "met" : "MISSED");
        std::fflush(stdout);
    }
}

void MeasureThroughputOfJobs(const QString& root) {
    for (const int jobs : {1, 2, 4}) {
        const bench::Measured run =
            RunBatch({QStringLiteral("-q"), QStringLiteral("--format=json"),
                      QStringLiteral("--jobs"), QString::number(jobs), root});
        std::printf("--jobs %d: %d small files in %.2f s, %.0f files/s\n", jobs, kFewSmallFiles,
                    run.seconds, kFewSmallFiles / run.seconds);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    std::printf("%d processors; load average %s\n", QThread::idealThreadCount(),
                bench::ReadAll(QStringLiteral("/proc/loadavg")).trimmed().constData());
    std::fflush(stdout);
    const QString media = bench::MediaFolder();
    const QString few = bench::SmallFilesRoot(media, kFewSmallFiles);
    const QString many = bench::SmallFilesRoot(media, kManySmallFiles);
    QTemporaryDir work;

    CompareUpdateWithFullRun();
    MeasureMemoryOfEachFormat(few, many, work.path());
    MeasureThroughputOfJobs(few);
    std::printf("load average after: %s\n",
                bench::ReadAll(QStringLiteral("/proc/loadavg")).trimmed().constData());
    return 0;
}
