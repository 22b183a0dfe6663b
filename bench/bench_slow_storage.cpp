// Reading from slow storage: the mediainfo program, exiftool, quorvid-batch
// (by default and with -j 16) and the window, each over 200 clips of 0.5 to
// 2 MB in four folders of 50, through the slow file system as a network share
// (5 ms a request) and as a spinning disk (8 ms a seek, 100 MB/s). Each run gets
// a fresh mount, after the page cache is dropped where that is allowed: wall
// time, throughput against the mediainfo program, and the requests and seeks
// the run cost. Then the same programs over the local folder, warm; then, for
// one file of each kind, the requests quorvid-batch makes beyond the mediainfo
// program's on the share.
//
//   bench_slow_storage
//
// The clips are kept in $QUORVID_BENCH_MEDIA/slow-storage (by default under
// /tmp/quorvid-bench-media), so that a second run does not make them again.
#include "BenchFiles.h"
#include "BenchProgramRun.h"
#include "BenchWindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "support/SlowStorage.h"

using quorvid::test::SlowStorage;

namespace {

constexpr int kFolderCount = 4;
constexpr int kFilesPerFolder = 50;
constexpr int kFileCount = kFolderCount * kFilesPerFolder;
// Cuts of the 10-second clips: about 0.5, 1, 1.4 and 1.9 MB.
constexpr const char* kCutSeconds[] = {"2.7", "4.8", "6.9", "9"};

void Say(const char* format, auto... values) {
    std::printf(format, values...);
    std::fflush(stdout);
}

struct StorageModel {
    const char* name;
    QStringList options;
};

// A program run over a folder (or a file): its wall time, and whether it read
// every file.
struct Outcome {
    double seconds = 0;
    bool ok = false;
    QString failure;
};

struct Reader {
    QString name;
    std::function<Outcome(const QString& path, int files)> run;
};

struct Row {
    QString storage;
    QString reader;
    Outcome outcome;
    std::optional<SlowStorage::Counters> counters;
};

// The cuts of the bench clips, each kind at each length.
QStringList MakeCuts(const QString& clips, const QString& cuts) {
    // The media script makes the clips; no numbered copies are wanted of them.
    bench::MakeBenchFiles(clips, clips, 0);
    QDir().mkpath(cuts);
    QStringList names;
    for (const QString& clip : QDir(clips).entryList(QDir::Files, QDir::Name)) {
        for (const char* seconds : kCutSeconds) {
            const QString name = QStringLiteral("%1s-%2").arg(QLatin1String(seconds), clip);
            bench::RunFfmpeg({QStringLiteral("-i"), QDir(clips).filePath(clip),
                              QStringLiteral("-t"), QLatin1String(seconds), QStringLiteral("-map"),
                              QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("copy"),
                              QDir(cuts).filePath(name)});
            names << name;
        }
    }
    return names;
}

// kFolderCount folders of kFilesPerFolder copies of the cuts; a folder holds a
// set once its marker is there.
QString MediaRoot() {
    const QString base = QDir(bench::MediaFolder()).filePath(QStringLiteral("slow-storage"));
    const QString root = QDir(base).filePath(QStringLiteral("files"));
    const QString marker = QDir(base).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(marker)) {
        return root;
    }
    QDir(base).removeRecursively();
    Say("making %d clips in %s ...\n", kFileCount, qPrintable(root));
    const QString cuts = QDir(base).filePath(QStringLiteral("cuts"));
    const QStringList names = MakeCuts(QDir(base).filePath(QStringLiteral("clips")), cuts);
    for (int folder = 0; folder < kFolderCount; ++folder) {
        QStringList rotated = names.mid(folder) + names.mid(0, folder);
        bench::NumberedCopies(cuts, rotated,
                              QDir(root).filePath(QStringLiteral("folder%1").arg(folder)),
                              kFilesPerFolder);
    }
    QFile(marker).open(QIODevice::WriteOnly);
    return root;
}

// Empties the page cache, so that the source files are read from the disk
// again; false where this process may not.
bool DropPageCache() {
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
}

int LineCount(const QString& path) {
    return static_cast<int>(bench::ReadAll(path).count('\n'));
}

}  // namespace

namespace {

// An outside program over a path; it read every file when it ended with
// status 0 and, where it writes one line a file after a heading, wrote them.
Reader ProgramReader(const QString& name, const QStringList& command, const QString& output,
                     bool lineAFile) {
    return Reader{
        name, [=](const QString& path, int files) {
            const bench::Measured measured =
                bench::RunMeasured(command + QStringList{path}, output);
            Outcome outcome{measured.seconds, measured.status == 0, {}};
            if (!outcome.ok) {
                outcome.failure = QStringLiteral("status %1").arg(measured.status);
            } else if (lineAFile && LineCount(output) != files + 1) {
                outcome.ok = false;
                outcome.failure =
                    QStringLiteral("%1 lines for %2 files").arg(LineCount(output)).arg(files);
            }
            return outcome;
        }};
}

// The window as a person uses it: "Add Folder" with every extension, then
// "Start Extracting Metadata", on a window made for the run.
Outcome WindowRun(const QString& folder, int files) {
    QTemporaryDir work;
    bench::BenchWindow window(work.path());
    window.dialogs.inputAnswer = QStringLiteral("*");
    window.dialogs.folderAnswer = folder;
    QElapsedTimer clock;
    clock.start();
    window.form->PushButton(3)->click();
    window.dialogs.messages.clear();
    window.form->PushButton(2)->click();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    window.CheckRun(files);
    return Outcome{seconds, true, {}};
}

std::vector<Reader> Readers(const QString& work) {
    const QString mediainfo = QStandardPaths::findExecutable(QStringLiteral("mediainfo"));
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    const QString batch = QStringLiteral(QUORVID_BATCH_PROGRAM);
    const QString output = QDir(work).filePath(QStringLiteral("output"));
    const QString inform = QStringLiteral("--Output=file://") + bench::MediainfoTemplate(work);
    std::vector<Reader> readers = {
        ProgramReader(QStringLiteral("mediainfo"), {mediainfo, inform}, output, false)};
    if (exiftool.isEmpty()) {
        Say("exiftool is not installed (package libimage-exiftool-perl): its rows are left out\n");
    } else {
        readers.push_back(ProgramReader(QStringLiteral("exiftool -csv -r"),
                                        {exiftool, QStringLiteral("-csv"), QStringLiteral("-r")},
                                        output, true));
    }
    const QStringList csv = {batch, QStringLiteral("-q"), QStringLiteral("--format"),
                             QStringLiteral("csv")};
    readers.push_back(ProgramReader(QStringLiteral("quorvid-batch"), csv, output, true));
    readers.push_back(ProgramReader(QStringLiteral("quorvid-batch -j 16"),
                                    csv + QStringList{QStringLiteral("-j"), QStringLiteral("16")},
                                    output, true));
    readers.push_back(Reader{QStringLiteral("window"), WindowRun});
    return readers;
}

// One run on a fresh mount of the source, after the page cache is dropped.
Row RunMounted(const StorageModel& model, const Reader& reader, const QString& source,
               const QString& relative, int files) {
    DropPageCache();
    SlowStorage mount(source, model.options);
    if (!mount.mounted()) {
        bench::Fail(QStringLiteral("cannot mount the slow file system: ") + mount.error());
    }
    const Outcome outcome =
        reader.run(relative.isEmpty() ? mount.path() : mount.filePath(relative), files);
    return Row{QString::fromLatin1(model.name), reader.name, outcome, mount.Unmount()};
}

QString Number(qint64 value) {
    return QString::number(value);
}

void PrintTable(const std::vector<Row>& rows) {
    Say("\n%-22s %-20s %8s %8s %13s %9s %7s\n", "storage", "program", "seconds", "files/s",
        "vs mediainfo", "requests", "seeks");
    double mediainfoSeconds = 0;
    for (const Row& row : rows) {
        if (row.reader == QLatin1String("mediainfo")) {
            mediainfoSeconds = row.outcome.ok ? row.outcome.seconds : 0;
        }
        const QString requests = row.counters ? Number(row.counters->at(QStringLiteral("requests")))
                                              : QStringLiteral("-");
        const QString seeks =
            row.counters ? Number(row.counters->at(QStringLiteral("seeks"))) : QStringLiteral("-");
        if (!row.outcome.ok) {
            Say("%-22s %-20s failed: %s\n", qPrintable(row.storage), qPrintable(row.reader),
                qPrintable(row.outcome.failure));
            continue;
        }
        const double ratio = mediainfoSeconds > 0 ? mediainfoSeconds / row.outcome.seconds : 0;
        Say("%-22s %-20s %8.2f %8.1f %13.2f %9s %7s\n", qPrintable(row.storage),
            qPrintable(row.reader), row.outcome.seconds, kFileCount / row.outcome.seconds, ratio,
            qPrintable(requests), qPrintable(seeks));
    }
}

}  // namespace

namespace {

const Reader& Named(const std::vector<Reader>& readers, const QString& name) {
    return *std::find_if(readers.begin(), readers.end(),
                         [&](const Reader& reader) { return reader.name == name; });
}

void PrintCounters(const QString& file, const QString& what, const QStringList& kinds,
                   const std::function<qint64(const QString&)>& value) {
    Say("%-28s %-14s", qPrintable(file), qPrintable(what));
    for (const QString& kind : kinds) {
        Say(" %*lld", static_cast<int>(std::max<qsizetype>(kind.size(), 8)),
            static_cast<long long>(value(kind)));
    }
    Say("\n");
}

// For one file of each kind, each program on a fresh share: the requests of
// the mediainfo program, of quorvid-batch, and what quorvid-batch asks beyond.
void PrintExtraRequests(const std::vector<Reader>& readers, const QString& source) {
    const StorageModel share{"share 5 ms", SlowStorage::Share(5)};
    const QStringList kinds = {"requests", "lookup",    "open",   "read",     "readdir", "release",
                               "getxattr", "listxattr", "statfs", "readlink", "access",  "bytes"};
    Say("\nrequests for one file on the share (a fresh mount each), quorvid-batch beyond the "
        "mediainfo program:\n%-28s %-14s",
        "file", "program");
    for (const QString& kind : kinds) {
        Say(" %*s", static_cast<int>(std::max<qsizetype>(kind.size(), 8)), qPrintable(kind));
    }
    Say("\n");
    const QDir folder(QDir(source).filePath(QStringLiteral("folder0")));
    qint64 extraRequests = 0;
    QStringList measured;
    for (const QString& name : folder.entryList({QStringLiteral("*-9s-*")}, QDir::Files)) {
        const QString kind = name.mid(name.indexOf(QStringLiteral("-9s-")) + 4);
        if (measured.contains(kind)) {
            continue;
        }
        measured << kind;
        const QString relative = QStringLiteral("folder0/") + name;
        const Row theirs =
            RunMounted(share, Named(readers, QStringLiteral("mediainfo")), source, relative, 1);
        const Row ours =
            RunMounted(share, Named(readers, QStringLiteral("quorvid-batch")), source, relative, 1);
        const auto count = [](const Row& row, const QString& kind) {
            return row.counters->count(kind) != 0 ? row.counters->at(kind) : 0;
        };
        PrintCounters(kind, QStringLiteral("mediainfo"), kinds,
                      [&](const QString& key) { return count(theirs, key); });
        PrintCounters(QString(), QStringLiteral("quorvid-batch"), kinds,
                      [&](const QString& key) { return count(ours, key); });
        PrintCounters(QString(), QStringLiteral("extra"), kinds,
                      [&](const QString& key) { return count(ours, key) - count(theirs, key); });
        extraRequests +=
            count(ours, QStringLiteral("requests")) - count(theirs, QStringLiteral("requests"));
    }
    if (!measured.isEmpty()) {
        Say("quorvid-batch asks %.1f requests a file more than the mediainfo program (%.0f ms a "
            "file at 5 ms each, where none overlap)\n",
            static_cast<double>(extraRequests) / static_cast<double>(measured.size()),
            5.0 * static_cast<double>(extraRequests) / static_cast<double>(measured.size()));
    }
}

std::vector<Row> RunOnSlowStorage(const std::vector<Reader>& readers, const QString& source) {
    const StorageModel models[] = {
        {"share 5 ms", SlowStorage::Share(5)},
        {"disk 8 ms, 100 MB/s", SlowStorage::Disk(8, 100)},
    };
    std::vector<Row> rows;
    for (const StorageModel& model : models) {
        for (const Reader& reader : readers) {
            rows.push_back(RunMounted(model, reader, source, QString(), kFileCount));
            const Row& row = rows.back();
            Say("%s, %s: %.2f s%s, %lld requests, %lld seeks\n", model.name,
                qPrintable(reader.name), row.outcome.seconds,
                row.outcome.ok
                    ? ""
                    : qPrintable(QStringLiteral(" (failed: %1)").arg(row.outcome.failure)),
                static_cast<long long>(row.counters->at(QStringLiteral("requests"))),
                static_cast<long long>(row.counters->at(QStringLiteral("seeks"))));
        }
    }
    return rows;
}

QByteArray LoadAverage() {
    return bench::ReadAll(QStringLiteral("/proc/loadavg")).trimmed();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("mediainfo")).isEmpty()) {
        bench::Fail(QStringLiteral("the mediainfo program is not installed"));
    }
    const QString source = MediaRoot();
    const QStringList files = bench::FilesUnder(source);
    if (files.size() != kFileCount) {
        bench::Fail(
            QStringLiteral("the media in %1 are incomplete; remove the folder").arg(source));
    }
    qint64 smallest = LLONG_MAX;
    qint64 largest = 0;
    for (const QString& file : files) {
        smallest = std::min(smallest, QFileInfo(file).size());
        largest = std::max(largest, QFileInfo(file).size());
    }
    QTemporaryDir work;
    const std::vector<Reader> readers = Readers(work.path());
    Say("%d files of %.2f to %.2f MB in %d folders of %d; %d processors; load average %s\n",
        kFileCount, smallest / 1e6, largest / 1e6, kFolderCount, kFilesPerFolder,
        QThread::idealThreadCount(), LoadAverage().constData());

    QString whyNot;
    const bool mountable = SlowStorage::Available(&whyNot);
    std::vector<Row> rows;
    if (!mountable) {
        Say("skipped the slow storage: %s\n", qPrintable(whyNot));
    } else {
        if (!DropPageCache()) {
            Say("cannot drop the page cache (needs root and a writable /proc/sys/vm): each "
                "mount starts with an empty cache of its own, but the source files stay cached\n");
        }
        rows = RunOnSlowStorage(readers, source);
    }
    // The local case, warm: every file read once before.
    for (const QString& file : files) {
        bench::ReadAll(file);
    }
    for (const Reader& reader : readers) {
        rows.push_back(Row{QStringLiteral("local, warm"), reader.name,
                           reader.run(source, kFileCount), std::nullopt});
    }
    Say("\nload average after: %s\n", LoadAverage().constData());
    PrintTable(rows);
    if (mountable) {
        PrintExtraRequests(readers, source);
    }
    return 0;
}
