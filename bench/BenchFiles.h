#pragma once

// The files the benchmarks read, and the processor clock they time with.

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/extraction/FieldCatalogue.h"

namespace bench {

// Count copies of the named files of from in target, taken in turn and named
// "0000-NAME", "0001-NAME", ...; the paths in that order.
inline QStringList NumberedCopies(const QString& from, const QStringList& names,
                                  const QString& target, int count) {
    QDir().mkpath(target);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString& name = names[i % names.size()];
        const QString path = QDir(target).filePath(
            QStringLiteral("%1-%2").arg(i, 4, 10, QLatin1Char('0')).arg(name));
        if (!QFile::copy(QDir(from).filePath(name), path)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(name));
            std::exit(1);
        }
        paths << path;
    }
    return paths;
}

// Count copies in target of the clips of about 2 MB that the media script makes
// in clips (10 seconds, 640x360, one per container).
inline QStringList MakeBenchFiles(const QString& clips, const QString& target, int count) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral("sh"),
                 {QStringLiteral(QUORVID_SOURCE_DIR "/tests/media/make-media.sh"),
                  QStringLiteral("--bench"), clips});
    if (!script.waitForFinished(-1) || script.exitCode() != 0) {
        std::fprintf(stderr, "the media script failed\n");
        std::exit(1);
    }
    return NumberedCopies(clips, QDir(clips).entryList(QDir::Files, QDir::Name), target, count);
}

// The small files: one-second clips of kDistinctSmallClips kinds, hard-linked
// into kSmallFolderCount folders as often as wanted.
inline constexpr int kSmallFolderCount = 100;
inline constexpr int kDistinctSmallClips = 100;

// The media of the benchmarks that keep them between runs: $QUORVID_BENCH_MEDIA,
// by default /tmp/quorvid-bench-media. A folder holds a set once its marker is there.
inline QString MediaFolder() {
    const QString configured = qEnvironmentVariable("QUORVID_BENCH_MEDIA");
    return configured.isEmpty() ? QStringLiteral("/tmp/quorvid-bench-media") : configured;
}

inline void RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", qPrintable(arguments.join(u' ')));
        std::exit(1);
    }
}

// One-second clips of 10 to 80 kB in several containers and picture sizes.
inline QStringList MakeSmallClips(const QString& folder) {
    QDir().mkpath(folder);
    struct Kind {
        const char* extension;
        QStringList codecs;
    };
    const Kind kinds[] = {
        {"mp4", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}},
        {"mkv",
         {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "libvorbis"}},
        {"avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}},
        {"webm", {"-c:v", "libvpx", "-c:a", "libvorbis"}},
        {"mov", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}},
    };
    const char* sizes[] = {"160x120", "320x180", "320x240", "480x270", "640x360"};
    QStringList names;
    for (int i = 0; i < kDistinctSmallClips; ++i) {
        const Kind& kind = kinds[i % 5];
        const QString size = QString::fromLatin1(sizes[(i / 5) % 5]);
        // 60 to 560 kb/s for one second: 10 to 80 kB with the sound.
        const int videoKbps = 60 + (i * 37) % 500;
        const QString name = QStringLiteral("clip%1-%2-%3k.%4")
                                 .arg(i, 3, 10, QLatin1Char('0'))
                                 .arg(size)
                                 .arg(videoKbps)
                                 .arg(QString::fromLatin1(kind.extension));
        RunFfmpeg(
            QStringList{
                "-f", "lavfi", "-i",
                QStringLiteral("testsrc2=size=%1:rate=%2:duration=1")
                    .arg(size)
                    .arg(i % 2 == 0 ? 25 : 30),
                "-f", "lavfi", "-i",
                QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=1").arg(220 + i * 10),
                "-map_metadata", "-1", "-b:v", QStringLiteral("%1k").arg(videoKbps), "-b:a", "48k",
                "-shortest"} +
            kind.codecs + QStringList{QDir(folder).filePath(name)});
        names << name;
    }
    return names;
}

// count files in kSmallFolderCount folders, hard links to the distinct clips.
inline QString SmallFilesRoot(const QString& media, int count) {
    const QString root = QDir(media).filePath(QStringLiteral("small-%1").arg(count));
    const QString marker = QDir(root).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(marker)) {
        return root;
    }
    QDir(root).removeRecursively();
    const QString clips = QDir(media).filePath(QStringLiteral("small-clips"));
    QStringList names = QDir(clips).entryList(QDir::Files, QDir::Name);
    if (names.size() < kDistinctSmallClips) {
        std::printf("making %d small clips in %s ...\n", kDistinctSmallClips, qPrintable(clips));
        std::fflush(stdout);
        names = MakeSmallClips(clips);
    }
    std::printf("linking %d small files into %d folders of %s ...\n", count, kSmallFolderCount,
                qPrintable(root));
    std::fflush(stdout);
    for (int i = 0; i < count; ++i) {
        const int folderNumber = i % kSmallFolderCount;
        const QString folder = QDir(root).filePath(
            QStringLiteral("folder%1").arg(folderNumber, 3, 10, QLatin1Char('0')));
        if (i < kSmallFolderCount) {
            QDir().mkpath(folder);
        }
        const QString& name = names[(i * 7) % names.size()];
        const QString from = QDir(clips).filePath(name);
        const QString to = QDir(folder).filePath(
            QStringLiteral("%1-%2").arg(i / kSmallFolderCount, 5, 10, QLatin1Char('0')).arg(name));
        if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0 &&
            !QFile::copy(from, to)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(to));
            std::exit(1);
        }
    }
    QFile(marker).open(QIODevice::WriteOnly);
    return root;
}

// Processor seconds of this process so far, all its threads.
inline double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A mediainfo --Inform template that prints the same library fields as a row.
inline QString MediainfoTemplate(const QString& folder) {
    QString sections[3];
    for (const quorvid::CatalogueField& field : quorvid::FieldCatalogue()) {
        if (field.source == quorvid::FieldSource::Library) {
            QString& section = sections[static_cast<int>(field.stream)];
            section += (section.isEmpty() ? QString() : QStringLiteral("|")) + QLatin1Char('%') +
                       QString::fromWCharArray(field.parameter) + QLatin1Char('%');
        }
    }
    const QString path = QDir(folder).filePath(QStringLiteral("template.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the mediainfo template\n");
        std::exit(1);
    }
    file.write(QStringLiteral("General;%1\\n\nVideo;%2\\n\nAudio;%3\\n\n")
                   .arg(sections[0], sections[1], sections[2])
                   .toUtf8());
    return path;
}

// Every file beneath folder, sorted.
inline QStringList FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator walk(folder, QDir::Files, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        files << walk.next();
    }
    files.sort();
    return files;
}

}  // namespace bench
