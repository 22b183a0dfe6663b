// quorvid-batch --update over 10,000 unchanged files against the full run that
// wrote the catalogue: wall time of each (one run each, the machine is shared),
// the ratio and its target, and whether the catalogue came back byte for byte.
//
// The clips of make-media.sh --bench are made once and kept in /tmp; the
// 10,000 files are hard links to them, so they cost no disk.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "BenchFiles.h"

namespace {

constexpr int kFileCount = 10000;
constexpr double kTargetRatio = 20;

const QString kClips = QStringLiteral("/tmp/quorvid-bench-clips");
const QString kFiles = QStringLiteral("/tmp/quorvid-bench-update-%1").arg(kFileCount);

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

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

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    MakeFilesOnce();
    const QString catalogue = QStringLiteral("/tmp/quorvid-bench-update-catalogue.jsonl");
    QByteArray err;
    const double full = Timed({QStringLiteral("-q"), QStringLiteral("--format=json"),
                               QStringLiteral("-o"), catalogue, kFiles},
                              err);
    const QByteArray written = ReadAll(catalogue);
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
                ReadAll(catalogue) == written ? "equals" : "DIFFERS FROM");
    QFile::remove(catalogue);
    return 0;
}
