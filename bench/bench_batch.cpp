// quorvid-batch against the mediainfo program over 1,000 files of about 2 MB:
// wall time of each (best of three, taken in turns), the ratio, the same with
// a reader per folder in the helpers instead of one per file, whether both
// give the same 41 library values for every file, and the companion's peak
// memory for JSON Lines on a quarter and on all of the files (it must stay flat).
//
// bench_batch [MEDIA_FOLDER]: without a folder, 1,000 copies of the clips that
// make-media.sh --bench makes are put in a temporary one.
#include "BenchFiles.h"
#include "BenchProgramRun.h"
#include "ReadersPerFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <map>
#include <vector>

#include "core/extraction/FieldCatalogue.h"

namespace {

constexpr int kRounds = 3;
constexpr int kFileCount = 1000;

QString FindProgram(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

// A mediainfo template with the 41 catalogue fields: one line per stream, the
// kind's letter first, fields apart by "|".
QByteArray MediaInfoTemplate() {
    std::map<quorvid::StreamKind, QByteArray> lines;
    for (const quorvid::CatalogueField& field : quorvid::FieldCatalogue()) {
        if (field.source == quorvid::FieldSource::Library) {
            lines[field.stream] += "|%" + QString::fromWCharArray(field.parameter).toUtf8() + "%";
        }
    }
    return "General;G|%CompleteName%" + lines[quorvid::StreamKind::General] + "\\n\n" + "Video;V" +
           lines[quorvid::StreamKind::Video] + "\\n\n" + "Audio;A" +
           lines[quorvid::StreamKind::Audio] + "\\n\n";
}

// The 41 library values of each file from mediainfo's output: the General line
// and the first Video and Audio lines after it.
std::map<QString, QStringList> MediaInfoValues(const QByteArray& output) {
    std::map<QString, QStringList> values;
    QStringList* current = nullptr;
    bool video = false;
    bool audio = false;
    for (const QByteArray& line : output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(u'|');
        if (fields.front() == QLatin1String("G") && fields.size() > 1) {
            current = &values[fields[1]];
            *current = fields.mid(2);
            video = audio = false;
        } else if (current != nullptr && fields.front() == QLatin1String("V") && !video) {
            video = true;
            current->append(fields.mid(1));
        } else if (current != nullptr && fields.front() == QLatin1String("A") && !audio) {
            audio = true;
            current->append(fields.mid(1));
        }
    }
    return values;
}

// Counts the files whose 41 values differ between the two programs.
int CountDifferences(const QByteArray& jsonLines, const std::map<QString, QStringList>& peer,
                     int& compared) {
    int differences = 0;
    compared = 0;
    const auto& catalogue = quorvid::FieldCatalogue();
    for (const QByteArray& line : jsonLines.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        const QString path = row.value(QStringLiteral("Video File/s")).toString();
        QStringList ours;
        for (const quorvid::CatalogueField& field : catalogue) {
            if (field.source == quorvid::FieldSource::Library) {
                ours << row.value(QString::fromLatin1(field.header)).toString();
            }
        }
        // The peer leaves out the Video or Audio line of a file without that stream.
        QStringList theirs = peer.count(path) != 0 ? peer.at(path) : QStringList();
        while (theirs.size() < ours.size()) {
            theirs << QString();
        }
        ++compared;
        if (ours != theirs) {
            if (differences == 0) {
                std::printf("first difference, %s:\n  ours   %s\n  theirs %s\n", qPrintable(path),
                            qPrintable(ours.join(u'|')), qPrintable(theirs.join(u'|')));
            }
            ++differences;
        }
    }
    return differences;
}

QByteArray LoadAverage() {
    return bench::ReadAll(QStringLiteral("/proc/loadavg")).trimmed();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir work;
    QString mediaFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mediaFolder.isEmpty()) {
        mediaFolder = work.filePath(QStringLiteral("media"));
        std::printf("making the media in %s ...\n", qPrintable(mediaFolder));
        std::fflush(stdout);
        bench::MakeBenchFiles(work.filePath(QStringLiteral("clips")), mediaFolder, kFileCount);
    }
    QStringList files;
    for (const QString& name : QDir(mediaFolder).entryList(QDir::Files, QDir::Name)) {
        files << QDir(mediaFolder).filePath(name);
    }
    const QString mediainfo = FindProgram(QStringLiteral("mediainfo"));
    if (mediainfo.isEmpty()) {
        std::fprintf(stderr, "the mediainfo program is not installed\n");
        return 1;
    }
    const QString templateFile = work.filePath(QStringLiteral("template.txt"));
    {
        QFile out(templateFile);
        out.open(QIODevice::WriteOnly);
        out.write(MediaInfoTemplate());
    }
    const QString batch = QStringLiteral(QUORVID_BATCH_PROGRAM);
    const QString ourOutput = work.filePath(QStringLiteral("batch.jsonl"));
    const QString peerOutput = work.filePath(QStringLiteral("mediainfo.txt"));
    const QStringList ourCommand =
        QStringList{batch, QStringLiteral("-q"), QStringLiteral("--format=json"), mediaFolder};
    const QStringList peerCommand =
        QStringList{mediainfo, QStringLiteral("--Output=file://") + templateFile} + files;
    // A copy of quorvid-batch beside a helper that reads with a reader per folder.
    const QString perFolderBatch =
        bench::CopyReadingPerFolder(batch, work.filePath(QStringLiteral("per-folder")));
    if (perFolderBatch.isEmpty()) {
        std::fprintf(stderr, "cannot make the copy of quorvid-batch\n");
        return 1;
    }
    QStringList perFolderCommand = ourCommand;
    perFolderCommand.front() = perFolderBatch;

    std::printf("load average before: %s\n", LoadAverage().constData());
    std::printf("%lld files in %s, %d processors\n", static_cast<long long>(files.size()),
                qPrintable(mediaFolder), QThread::idealThreadCount());
    bench::Measured ours{1e9};
    bench::Measured peer{1e9};
    bench::Measured perFolder{1e9};
    for (int round = 0; round < kRounds; ++round) {
        const bench::Measured peerRound = bench::RunMeasured(peerCommand, peerOutput);
        const bench::Measured folderRound = bench::RunMeasured(perFolderCommand, ourOutput);
        const bench::Measured ourRound = bench::RunMeasured(ourCommand, ourOutput);
        std::printf("round %d: a reader per folder %.2f s (processor %.2f s, status %d)\n",
                    round + 1, folderRound.seconds, folderRound.processorSeconds,
                    folderRound.status);
        perFolder = folderRound.seconds < perFolder.seconds ? folderRound : perFolder;
        std::printf(
            "round %d: quorvid-batch %.2f s (processor %.2f s, status %d), mediainfo %.2f s "
            "(processor %.2f s, status %d)\n",
            round + 1, ourRound.seconds, ourRound.processorSeconds, ourRound.status,
            peerRound.seconds, peerRound.processorSeconds, peerRound.status);
        std::fflush(stdout);
        if (ourRound.seconds < ours.seconds) {
            ours = ourRound;
        }
        if (peerRound.seconds < peer.seconds) {
            peer = peerRound;
        }
    }
    const double count = static_cast<double>(files.size());
    std::printf("quorvid-batch --format json: %.2f s, %.0f files/s, peak %ld MB\n", ours.seconds,
                count / ours.seconds, ours.peakKb / 1024);
    std::printf("mediainfo --Output=file://TEMPLATE (41 fields): %.2f s, %.0f files/s\n",
                peer.seconds, count / peer.seconds);
    std::printf("speed ratio quorvid-batch / mediainfo: %.2f (target at least 1.8)\n",
                peer.seconds / ours.seconds);
    std::printf(
        "with a reader per folder: %.2f s, %.0f files/s, ratio to mediainfo %.2f; a reader "
        "per file runs at %.2f of its speed\n",
        perFolder.seconds, count / perFolder.seconds, peer.seconds / perFolder.seconds,
        perFolder.seconds / ours.seconds);
    // Other programs on the machine take cores from the helpers; the processor
    // time of the work itself does not depend on them.
    std::printf(
        "processor time per file: quorvid-batch and helpers %.2f ms (%.2f ms with a reader per "
        "folder), mediainfo %.2f ms\n",
        ours.processorSeconds * 1000 / count, perFolder.processorSeconds * 1000 / count,
        peer.processorSeconds * 1000 / count);

    std::printf("load average after: %s\n", LoadAverage().constData());
    int compared = 0;
    const int differences = CountDifferences(bench::ReadAll(ourOutput),
                                             MediaInfoValues(bench::ReadAll(peerOutput)), compared);
    std::printf("library values: %d of %d files differ (target 0)\n", differences, compared);

    // JSON Lines stream: the peak must not grow with the number of files.
    const QString quarterList = work.filePath(QStringLiteral("quarter.txt"));
    {
        QFile out(quarterList);
        out.open(QIODevice::WriteOnly);
        out.write(QFile::encodeName(files.mid(0, files.size() / 4).join(u'\n')));
    }
    const QString shell = QStringLiteral("/bin/sh");
    const bench::Measured quarter = bench::RunMeasured(
        {shell, QStringLiteral("-c"), QStringLiteral("exec \"$0\" -q --format=json - < \"$1\""),
         batch, quarterList},
        ourOutput);
    std::printf(
        "quorvid-batch --format json peak memory: %ld MB for %lld files, %ld MB for %lld "
        "files (target under 100 MB, flat)\n",
        quarter.peakKb / 1024, static_cast<long long>(files.size() / 4), ours.peakKb / 1024,
        static_cast<long long>(files.size()));
    const bench::Measured text =
        bench::RunMeasured({batch, QStringLiteral("-q"), mediaFolder}, ourOutput);
    std::printf("quorvid-batch --format text: %.2f s, peak %ld MB for %lld files\n", text.seconds,
                text.peakKb / 1024, static_cast<long long>(files.size()));
    const bench::Measured textQuarter =
        bench::RunMeasured({shell, QStringLiteral("-c"),
                            QStringLiteral("exec \"$0\" -q - < \"$1\""), batch, quarterList},
                           ourOutput);
    const double kbPerRow = static_cast<double>(text.peakKb - textQuarter.peakKb) /
                            static_cast<double>(files.size() - files.size() / 4);
    std::printf(
        "text rows cost %.1f KB each: 100,000 files would take about %.0f MB (target "
        "under 600 MB)\n",
        kbPerRow, (static_cast<double>(textQuarter.peakKb) + kbPerRow * 1e5) / 1024);
    return 0;
}
