// Extraction speed over 1,000 copies of the committed media: (a) a plain loop
// of the five library calls over the 41 fields, (b) the whole run (library,
// file facts, desktop details) writing rows into the results grid headless.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "app/CommandContext.h"
#include "app/Dialogs.h"
#include "app/EventPump.h"
#include "app/ListViewModel.h"
#include "app/MousePointer.h"
#include "app/Platform.h"
#include "app/ProgressState.h"
#include "extract/ExtractionRun.h"
#include "extract/FieldCatalogue.h"
#include "extract/MediaInfoDLL.h"
#include "extract/ResultsGrid.h"

using namespace quorvid;

namespace {

constexpr int kFileCount = 1000;
constexpr int kRounds = 5;

long PeakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

class SilentDialogs : public Dialogs {
  public:
    void Message(const QString&) override {}
    void Warning(const QString&, const QString& text) override {
        ++warnings;
        last = text;
    }
    bool AskYesNo(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&) override { return {}; }
    QStringList OpenFiles(const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return {}; }
    int warnings = 0;
    QString last;
};

class NoEvents : public EventPump {
  public:
    void DoEvents() override {}
};

QStringList CopyMedia(const QString& mediaFolder, const QString& target) {
    const QStringList media = {"h264-aac.mp4", "mpeg4-mp3.avi",   "clip with spaces.mkv",
                               "vidéo ñ.mov",  "vp8-silent.webm", "audio-only.m4a"};
    QStringList paths;
    for (int i = 0; i < kFileCount; ++i) {
        const QString& name = media[i % media.size()];
        const QString path = QDir(target).filePath(
            QStringLiteral("%1-%2").arg(i, 4, 10, QLatin1Char('0')).arg(name));
        if (!QFile::copy(QDir(mediaFolder).filePath(name), path)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(name));
            std::exit(1);
        }
        paths << path;
    }
    return paths;
}

double PlainLibraryLoop(MediaInfoLibrary& library, const QStringList& paths) {
    const auto& catalogue = FieldCatalogue();
    QElapsedTimer timer;
    timer.start();
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
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (characters == 0) {
        std::fprintf(stderr, "the library read nothing\n");
        std::exit(1);
    }
    return seconds;
}

double WholeRun(MediaInfoLibrary& library, const QStringList& paths, const QString& programFolder) {
    SilentDialogs dialogs;
    NoEvents events;
    Platform platform;
    platform.dialogs = &dialogs;
    platform.events = &events;
    platform.programFolder = programFolder;
    ListViewModel input(false);
    ListViewModel results(true);
    ResultsGrid(results).CreateResultColumns();
    ProgressState progress;
    MousePointerState pointer;
    CommandContext context{platform, input, results, progress, pointer};
    for (const QString& path : paths) {
        input.AddItem(path);
    }
    bool running = false;
    GioShell shell;
    QElapsedTimer timer;
    timer.start();
    ExtractionRun(context, running, library, shell).PushButton2_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (results.ItemCount() != paths.size() || dialogs.warnings != 0) {
        std::fprintf(stderr, "the run went wrong: %d rows, %d reports %s\n", results.ItemCount(),
                     dialogs.warnings, qPrintable(dialogs.last));
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QString mediaFolder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                         : QFileInfo(QString::fromUtf8(__FILE__))
                                               .dir()
                                               .filePath(QStringLiteral("../tests/media"));
    QTemporaryDir folder;
    const QStringList paths = CopyMedia(mediaFolder, folder.path());
    MediaInfoLibrary library(QCoreApplication::applicationDirPath());

    // Alternate the two and keep the best round of each, so that neither pays
    // for a cold cache alone.
    double plain = 1e9;
    double whole = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        plain = std::min(plain, PlainLibraryLoop(library, paths));
        whole = std::min(whole, WholeRun(library, paths, QCoreApplication::applicationDirPath()));
    }
    const double plainRate = kFileCount / plain;
    const double wholeRate = kFileCount / whole;
    std::printf("files: %d (best of %d rounds)\n", kFileCount, kRounds);
    std::printf("(a) library calls only: %.1f files/s (%.3f s)\n", plainRate, plain);
    std::printf("(b) whole extraction:   %.1f files/s (%.3f s)\n", wholeRate, whole);
    std::printf("ratio (b)/(a): %.2f (target at least 0.80)\n", wholeRate / plainRate);
    std::printf("peak memory: %ld kB\n", PeakMemoryKb());
    return 0;
}
