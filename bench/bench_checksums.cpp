// The cost of checksums: quorvid-batch over 1,000 files of about 2 MB with
// --hash sha256 against the same run without it (target: at most 1.3 times)
// and against sha256sum over the same files, each the best of three taken in
// turns on a warm cache; whether every sum equals sha256sum's; and how fast
// --verify reads the catalogue's files again.
//
// bench_checksums [--files N] [MEDIA_FOLDER]: without a folder, N (default
// 1,000) copies of the clips that make-media.sh --bench makes are put in a
// temporary one.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

#include "BenchFiles.h"
#include "BenchProgramRun.h"

namespace {

constexpr int kRounds = 3;

struct Timed {
    double seconds = 0;
    QByteArray out;
};

Timed Run(const QString& program, const QStringList& arguments, int allowedExit = 0) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    Timed timed{static_cast<double>(clock.nsecsElapsed()) / 1e9, process.readAllStandardOutput()};
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > allowedExit) {
        std::fprintf(stderr, "%s failed (%d)\n", qPrintable(program), process.exitCode());
        std::exit(1);
    }
    return timed;
}

// The SHA-256 of each file in a catalogue, by path.
std::map<QString, QString> CatalogueSums(const QString& catalogue) {
    std::map<QString, QString> sums;
    for (const QByteArray& line : bench::ReadAll(catalogue).trimmed().split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        sums[row.value(QStringLiteral("Video File/s")).toString()] =
            row.value(QStringLiteral("SHA-256")).toString();
    }
    return sums;
}

std::map<QString, QString> SumProgramSums(const QByteArray& output) {
    std::map<QString, QString> sums;
    for (const QByteArray& line : output.trimmed().split('\n')) {
        sums[QString::fromUtf8(line.mid(66))] = QString::fromLatin1(line.left(64));
    }
    return sums;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    int count = 1000;
    if (arguments.size() >= 2 && arguments[0] == QLatin1String("--files")) {
        count = std::max(1, arguments[1].toInt());
        arguments = arguments.mid(2);
    }
    QTemporaryDir scratch;
    const QString folder =
        arguments.isEmpty() ? scratch.filePath(QStringLiteral("files")) : arguments[0];
    QStringList files;
    if (arguments.isEmpty()) {
        files = bench::MakeBenchFiles(scratch.filePath(QStringLiteral("clips")), folder, count);
    } else {
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
            files << QDir(folder).filePath(name);
        }
    }
    qint64 bytes = 0;
    for (const QString& file : files) {
        bytes += QFileInfo(file).size();
    }
    const QString batch = QStringLiteral(QUORVID_BATCH_PROGRAM);
    const QString plain = scratch.filePath(QStringLiteral("plain.jsonl"));
    const QString summed = scratch.filePath(QStringLiteral("summed.jsonl"));
    Run(QStringLiteral("sha256sum"), files);  // a warm cache for every run alike
    double without = 1e9, with = 1e9, sumProgram = 1e9, verify = 1e9;
    QByteArray sums;
    for (int round = 0; round < kRounds; ++round) {
        without =
            std::min(without, Run(batch, {"-q", "--format=json", "-o", plain, folder}).seconds);
        with = std::min(
            with,
            Run(batch, {"-q", "--hash", "sha256", "--format=json", "-o", summed, folder}).seconds);
        const Timed sum = Run(QStringLiteral("sha256sum"), files);
        sumProgram = std::min(sumProgram, sum.seconds);
        sums = sum.out;
        verify = std::min(verify, Run(batch, {"-q", "--verify", summed}).seconds);
    }
    const bool same = CatalogueSums(summed) == SumProgramSums(sums);
    const double megabytes = static_cast<double>(bytes) / 1e6;
    std::printf("%lld files, %.0f MB, best of %d, warm cache\n",
                static_cast<long long>(files.size()), megabytes, kRounds);
    std::printf("quorvid-batch                %8.2f s\n", without);
    std::printf("quorvid-batch --hash sha256  %8.2f s  %.2fx the run without (target <= 1.30)\n",
                with, with / without);
    std::printf("sha256sum                    %8.2f s  the run with sums is %.2fx it\n", sumProgram,
                with / sumProgram);
    std::printf("--verify                     %8.2f s  %.0f files/s, %.0f MB/s\n", verify,
                static_cast<double>(files.size()) / verify, megabytes / verify);
    std::printf("every sum equals sha256sum's: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
