#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <utility>
#include <vector>

#include "batch/BatchProgram.h"
#include "core/export/TextFileExport.h"
#include "core/shell/report/ReportSteps.h"
#include "support/ExportTestSupport.h"

namespace quorvid {
namespace {

TEST(BatchProgramTest, TextOutputEqualsTheWindowsTextFileOfTheSameFolder) {
    MediaFolder folder;
    WindowRun window(folder.root());
    const QString windowFile = window.test.folder.filePath(QStringLiteral("window.txt"));
    SaveListviewProperlySpaced(window.test.platform, window.resultsGrid, windowFile, nullptr);
    ASSERT_GT(window.resultsGrid.ItemCount(), 5);
    ASSERT_GT(window.resultsGrid.ColumnCount(), 53);

    const QString batchFile = window.test.folder.filePath(QStringLiteral("batch.txt"));
    const Finished batch = RunBatch({folder.root(), QStringLiteral("-o"), batchFile});
    EXPECT_EQ(batch.exitCode, 0) << batch.err.constData();
    EXPECT_TRUE(batch.out.isEmpty());
    const QByteArray expected = ReadAll(windowFile);
    EXPECT_EQ(ReadAll(batchFile), expected);

    // Standard output carries the same bytes, whatever the number of helpers;
    // --ext picks by extension.
    EXPECT_EQ(RunBatch({QStringLiteral("-q"), folder.root()}).out, expected);
    EXPECT_EQ(RunBatch({QStringLiteral("-j"), QStringLiteral("1"), folder.root()}).out, expected);
    const Finished onlyMp4 = RunBatch({QStringLiteral("--ext=MP4"), folder.root()});
    EXPECT_EQ(onlyMp4.out.count("\r\n"), 1 + 4);  // header, three .mp4 and sub/inner.mp4
}

TEST(BatchProgramTest, ExitStatusesAndOneLinePerFailure) {
    MediaFolder folder;
    const QString good = folder.dir.filePath(QStringLiteral("h264-aac.mp4"));
    EXPECT_EQ(RunBatch({good}).exitCode, 0);
    for (const QStringList& usage :
         {QStringList{}, QStringList{QStringLiteral("--format"), QStringLiteral("xml"), good},
          QStringList{QStringLiteral("--bogus"), good}, QStringList{QStringLiteral("-o")},
          // A workbook goes to a file only, never to a terminal or a pipe.
          QStringList{QStringLiteral("--format=xlsx"), good},
          QStringList{QStringLiteral("-j"), QStringLiteral("0"), good},
          QStringList{QStringLiteral("--jobs=-2"), good},
          QStringList{QStringLiteral("-j"), QStringLiteral("two"), good},
          QStringList{QStringLiteral("-j"), QStringLiteral("257"), good},
          QStringList{QStringLiteral("-j"), QStringLiteral("99999999999"), good},
          QStringList{good, QStringLiteral("-j")}}) {
        const Finished run = RunBatch(usage);
        EXPECT_EQ(run.exitCode, 2) << usage.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        // What is wrong, then where to look.
        EXPECT_EQ(run.err.count('\n'), 2) << run.err.constData();
    }
    EXPECT_TRUE(RunBatch({QStringLiteral("--format=xlsx"), good}).err.contains("-o FILE"));
    EXPECT_TRUE(
        RunBatch({QStringLiteral("-j"), QStringLiteral("0"), good}).err.contains("from 1 to 256"));
    EXPECT_EQ(RunBatch({good, QStringLiteral("-o"), folder.dir.filePath(QStringLiteral("no/x"))})
                  .exitCode,
              2);

    // An output that is no regular file would be replaced by one: it is refused.
    const QString fifo = folder.dir.filePath(QStringLiteral("rows.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(RunBatch({good, QStringLiteral("-o"), fifo}).exitCode, 2);
    struct stat status {};
    EXPECT_TRUE(stat(QFile::encodeName(fifo).constData(), &status) == 0 &&
                S_ISFIFO(status.st_mode));
    QFile::remove(fifo);

    const Finished missing = RunBatch({good, folder.dir.filePath(QStringLiteral("gone.mp4"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out.count("\r\n"), 2);
    EXPECT_EQ(missing.err, "quorvid-batch: " + QFile::encodeName(folder.dir.path()) +
                               "/gone.mp4: no such file or folder\n");

    // A file that vanishes after it was listed keeps its row; each failed step
    // is one line naming the file, the description and the step.
    QStringList paths;
    for (int i = 0; i < 200; ++i) {
        paths << folder.dir.filePath(QStringLiteral("copy%1.mp4").arg(i));
        QFile::copy(good, paths.back());
    }
    QProcess process;
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM),
                  {QStringLiteral("--format=json"), QStringLiteral("-")});
    process.write(QFile::encodeName(paths.join(u'\n')));
    process.closeWriteChannel();
    while (!process.canReadLine() && process.waitForReadyRead(30000)) {
    }
    ASSERT_TRUE(QFile::remove(paths.back()));
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(process.readAllStandardOutput().count('\n'), paths.size());
    const QList<QByteArray> lines = process.readAllStandardError().trimmed().split('\n');
    const QByteArray prefix = "quorvid-batch: " + QFile::encodeName(paths.back()) + ": ";
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.front().startsWith(prefix)) << lines.front().constData();
    EXPECT_TRUE(
        lines.front().endsWith(QStringLiteral(" (step %1)").arg(step::extract::kGetFile).toUtf8()))
        << lines.front().constData();
    for (const QByteArray& line : lines) {
        EXPECT_TRUE(line.startsWith(prefix) && line.contains(" (step 2")) << line.constData();
    }
}

// The command-line parser underneath would take several spellings we never
// took ("--q", "-quiet", "-o=FILE"); they stay refused, in our own words.
TEST(BatchProgramTest, OptionsAreReadAndRefusedAsTheyAlwaysWere) {
    const QString good = QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4");
    const std::vector<std::pair<QStringList, QByteArray>> refused{
        {{good, QStringLiteral("--format")}, "option --format needs a value"},
        {{QStringLiteral("--quiet=1"), good}, "option --quiet takes no value"},
        {{QStringLiteral("--bogus=1"), good}, "option --bogus takes no value"},
        {{QStringLiteral("--q"), good}, "unknown option --q"},
        {{QStringLiteral("-quiet"), good}, "unknown option -quiet"},
        {{QStringLiteral("-o=rows.txt"), good}, "unknown option -o=rows.txt"},
        {{QStringLiteral("-qV"), good}, "unknown option -qV"},
        // The first fault is the one told, whatever kind the later ones are.
        {{QStringLiteral("--format"), QStringLiteral("xml"), QStringLiteral("--bogus"), good},
         "unknown format 'xml' (text, csv, json or xlsx)"},
        {{QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("-j"), QStringLiteral("2"),
          good},
         "the number of jobs '0' is no whole number from 1 to 256"},
    };
    for (const auto& [arguments, fault] : refused) {
        const Finished run = RunBatch(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(run.err.toStdString(), "quorvid-batch: " + fault.toStdString() +
                                             "\nquorvid-batch: Try 'quorvid-batch --help' for "
                                             "more information.\n");
    }

    // The last of a repeated option wins; after "--" an argument that looks
    // like an option is a path.
    const Finished run = RunBatch({QStringLiteral("--format"), QStringLiteral("json"),
                                   QStringLiteral("--format=csv"), QStringLiteral("--"),
                                   QStringLiteral("-x"), good});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.startsWith("Video File/s,General - Format,")) << run.out.constData();
    EXPECT_EQ(run.out.count("\r\n"), 2);  // the header and the good file's row: -x is no file
    EXPECT_EQ(run.err, "quorvid-batch: -x: no such file or folder\n");
}

TEST(BatchProgramTest, OutputThatCannotBeWrittenOutKeepsTheOldFileAndExitsWith2) {
    MediaFolder folder;
    const QString output = folder.dir.filePath(QStringLiteral("rows.txt"));
    test::WriteAll(output, "old rows\n");
    // The rows are written to the file's buffer, and handing them to the file fails.
    const Finished run = RunBatch({QStringLiteral("-q"), QStringLiteral("-o"), output,
                                   folder.dir.filePath(QStringLiteral("h264-aac.mp4"))},
                                  {}, WithFileSizeLimit(64));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("the output was not written"));
    EXPECT_EQ(ReadAll(output), "old rows\n");
    EXPECT_EQ(
        QDir(folder.root()).entryList({QStringLiteral("rows.txt*")}, QDir::Files | QDir::Hidden),
        QStringList{QStringLiteral("rows.txt")});
}

TEST(BatchProgramTest, StandardInputTakesPathsEndedByNulBytes) {
    MediaFolder folder;
    const QString odd = folder.dir.filePath(QStringLiteral("two\nlines.mp4"));
    QFile::copy(folder.dir.filePath(QStringLiteral("h264-aac.mp4")), odd);
    const QByteArray input = QFile::encodeName(odd) + '\0' + QFile::encodeName(folder.sub()) + '\0';
    const Finished run = RunBatch({QStringLiteral("--format"), QStringLiteral("json"),
                                   QStringLiteral("-0"), QStringLiteral("-")},
                                  input);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QList<QByteArray> rows = run.out.split('\n');
    ASSERT_EQ(rows.size(), 3);  // two rows and the empty text after the last LF
    EXPECT_TRUE(rows[0].startsWith("{\"Video File/s\":\"" + folder.dir.path().toUtf8() +
                                   "/two\\nlines.mp4\",\"General - Format\":\"MPEG-4\","));
    EXPECT_TRUE(rows[1].contains("/sub/inner.mp4\""));
}

TEST(BatchProgramTest, AFileOnWhichTheLibraryLoopsCostsItsLibraryCellsAndOneLine) {
    const QString looping = QStringLiteral(QUORVID_TEST_MEDIA_DIR "/damaged/looping-1.webm");
    const QString good = QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4");
    const Finished run = RunBatch({QStringLiteral("--file-timeout=1.5"), QStringLiteral("--format"),
                                   QStringLiteral("csv"), looping, good});
    EXPECT_EQ(run.exitCode, 1);
    const QList<QByteArray> lines = run.err.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1) << run.err.constData();
    EXPECT_TRUE(lines[0].startsWith("quorvid-batch: " + QFile::encodeName(looping) +
                                    ": The metadata library did not finish reading this file "
                                    "within 1.5 seconds."))
        << lines[0].constData();
    const QList<QByteArray> rows = run.out.split('\n');
    ASSERT_EQ(rows.size(), 4);  // header, two rows, the empty text after the last line end
    EXPECT_TRUE(
        rows[1].startsWith(QFile::encodeName(looping) + QByteArray(42, ',') + "looping-1.webm,"))
        << rows[1].constData();
    EXPECT_TRUE(rows[2].startsWith(QFile::encodeName(good) + ",MPEG-4,"));
}

TEST(BatchProgramTest, CtrlCKeepsTheOldOutputFileAndLeavesNoneOfTheHelpersAsked) {
    QTemporaryDir media;
    CopyMedia(QStringLiteral("h264-aac.mp4"), media.path(), 1000);
    QTemporaryDir target;
    const QString output = target.filePath(QStringLiteral("rows.jsonl"));
    test::WriteAll(output, "old rows\n");
    QProcess process;
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM),
                  {QStringLiteral("--format=json"), QStringLiteral("--jobs=3"),
                   QStringLiteral("-o"), output, media.path()});
    ASSERT_TRUE(process.waitForStarted());
    // Rows are being written once a file the program holds open in the target's
    // folder (its unnamed temporary file) has grown.
    const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
    const auto writing = [&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget().startsWith(target.path()) && fd.size() > 0) {
                return true;
            }
        }
        return false;
    };
    for (int wait = 0; wait < 600 && !writing(); ++wait) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(writing());
    // Three files at once are shared among a helper per processor at most.
    const std::vector<qint64> helpers = ChildrenOf(process.processId());
    EXPECT_EQ(helpers.size(), static_cast<size_t>(std::min(3, QThread::idealThreadCount())));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(ReadAll(output), "old rows\n");
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("rows.jsonl")});
    QThread::msleep(200);
    for (const qint64 helper : helpers) {
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(helper)))
            << "helper " << helper << " still runs";
    }
}

TEST(BatchProgramTest, WithoutItsHelpersCtrlCEndsARunHeldInAFileTheLibraryNeverFinishes) {
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("quorvid-batch"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVID_BATCH_PROGRAM), program));
    const QString output = folder.filePath(QStringLiteral("rows.csv"));
    test::WriteAll(output, "old rows\n");
    QProcess process;
    process.start(program, {QStringLiteral("--format=csv"), QStringLiteral("-o"), output,
                            QStringLiteral(QUORVID_TEST_MEDIA_DIR "/damaged/looping-1.webm")});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(1500);
    ASSERT_EQ(process.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(15000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(process.exitCode(), SIGINT);
    EXPECT_EQ(ReadAll(output), "old rows\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("quorvid-batch"), QStringLiteral("rows.csv")}));
}

// What the program writes to the terminal it has for standard error.
QByteArray TerminalOutput(const QStringList& arguments) {
    int terminal = -1;
    int program = -1;
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 24;
    if (openpty(&terminal, &program, nullptr, nullptr, &size) != 0) {
        return {};
    }
    QProcess process;
    process.setChildProcessModifier([program] { dup2(program, STDERR_FILENO); });
    process.start(QStringLiteral(QUORVID_BATCH_PROGRAM), arguments);
    process.waitForStarted();
    ::close(program);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    QByteArray screen;
    const auto readScreen = [&] {
        char bytes[4096];
        ssize_t got = 0;
        while ((got = ::read(terminal, bytes, sizeof bytes)) > 0) {
            screen.append(bytes, got);
        }
    };
    while (!process.waitForFinished(50)) {
        readScreen();
    }
    readScreen();
    ::close(terminal);
    return screen;
}

TEST(BatchProgramTest, OnATerminalTheProgressLineTellsTheTimeLeftOnceThePaceIsKnown) {
    QTemporaryDir folder;
    // Each file holds its helper until it is given up, so the run is slow and even.
    CopyMedia(QStringLiteral("damaged/looping-1.webm"), folder.path(), 6);
    const QByteArray screen =
        TerminalOutput({QStringLiteral("--jobs=1"), QStringLiteral("--file-timeout=0.4"),
                        QStringLiteral("--format=json"), folder.path()});
    if (screen.isEmpty()) {
        GTEST_SKIP() << "no pseudo-terminal";
    }
    QList<QByteArray> lines;
    for (const QByteArray& line : screen.split('\r')) {
        if (line.contains(" of 6 files, ")) {
            lines << line;
        }
    }
    ASSERT_GT(lines.size(), 5) << screen.constData();
    EXPECT_TRUE(lines.front().startsWith("0 of 6 files, ")) << lines.front().constData();
    EXPECT_FALSE(lines.front().contains(" left")) << lines.front().constData();
    const auto withTimeLeft = std::find_if(lines.begin(), lines.end(), [](const QByteArray& line) {
        return line.contains(" s left, 1 file at once  clip");
    });
    ASSERT_NE(withTimeLeft, lines.end()) << screen.constData();
    EXPECT_FALSE(withTimeLeft->startsWith("0 of ") || withTimeLeft->startsWith("1 of ") ||
                 withTimeLeft->startsWith("2 of "))
        << withTimeLeft->constData();
    // Taken off the screen when the run is over.
    EXPECT_TRUE(screen.mid(screen.lastIndexOf("files/s")).contains("\r\x1b[K"))
        << screen.right(200).constData();

    // Elsewhere, or asked not to, it shows no line.
    EXPECT_FALSE(
        RunBatch({QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4")}).err.contains("files/s"));
    EXPECT_FALSE(TerminalOutput(
                     {QStringLiteral("-q"), QStringLiteral(QUORVID_TEST_MEDIA_DIR "/h264-aac.mp4")})
                     .contains("files/s"));
}

}  // namespace
}  // namespace quorvid
