#pragma once

// The files the benchmarks read, and the processor clock they time with.

#include <QDir>
#include <QFile>
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

}  // namespace bench
