// quorvid-batch with a metadata library that behaves as if a crafted file had
// taken it over (tests/helpers/TakenOverMediaInfo.cpp): whatever it tries from
// inside the library stays inside the helper's reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <map>

#include "extractor/Landlock.h"
#include "support/ProgramCopy.h"

namespace quorvid {
namespace {

constexpr auto kSecret = "QUORVID-SECRET-4711";

using test::ProgramCopy;

const QString kTakenOverLibrary = QStringLiteral(QUORVID_TAKEN_OVER_LIBRARY);

// A folder of hostile files, each naming one attempt, beside a stand-in for
// the user's home and with a file of its own and a subfolder.
class HostileFiles {
  public:
    HostileFiles() {
        QDir(dir.path()).mkpath(QStringLiteral("media/sub"));
        QDir(dir.path()).mkpath(QStringLiteral("home"));
        Write(home() + QStringLiteral("/secret.txt"), "HOME-SECRET");
        Write(media() + QStringLiteral("/sibling.txt"), "SIBLING-TEXT");
        Write(media() + QStringLiteral("/sub/inner.txt"), "INNER-SECRET");
    }
    QString media() const { return dir.filePath(QStringLiteral("media")); }
    QString home() const { return dir.filePath(QStringLiteral("home")); }
    // A file that makes the library attempt one thing.
    QString Add(const QString& attempt, const QString& argument = {}, const QString& tag = {}) {
        const QString path = media() + QStringLiteral("/attempt-") +
                             (tag.isEmpty() ? attempt : tag) + QStringLiteral(".mp4");
        Write(path, (attempt + QLatin1Char(' ') + argument + QLatin1Char('\n')).toUtf8());
        return path;
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    QTemporaryDir dir;
};

struct BatchRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    std::map<QString, QString> formats;  // path: General - Format
};

BatchRun RunCopy(const ProgramCopy& programs, const QStringList& paths) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVID_TEST_SECRET"), QString::fromLatin1(kSecret));
    process.setProcessEnvironment(environment);
    process.start(programs.batch(),
                  QStringList{QStringLiteral("--format"), QStringLiteral("json"),
                              QStringLiteral("--file-timeout"), QStringLiteral("20")} +
                      paths);
    EXPECT_TRUE(process.waitForFinished(120000));
    BatchRun run{
        process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError(), {}};
    for (const QByteArray& line : run.out.split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        if (!row.isEmpty()) {
            run.formats[row.value(QStringLiteral("Video File/s")).toString()] =
                row.value(QStringLiteral("General - Format")).toString();
        }
    }
    return run;
}

// Where the kernel runs no i386 calls (its emulation is off), int 0x80 never
// reaches the filter: the kernel itself ends the process with SIGSEGV.
bool KernelRunsI386Calls() {
    const pid_t child = fork();
    if (child == 0) {
        long call = 20;  // getpid on i386
        asm volatile("int $0x80" : "+a"(call) : : "memory");
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status);
}

bool EndedBySignal(const BatchRun& run, const QString& path, int signal) {
    return run.err.contains(
        QFile::encodeName(path) +
        QStringLiteral(": The metadata library stopped while reading this file (signal %1).")
            .arg(signal)
            .toUtf8());
}

bool Killed(const BatchRun& run, const QString& path) {
    return run.err.contains(QFile::encodeName(path) +
                            ": The metadata library stopped while reading this file (signal 31, a "
                            "system call its sandbox refuses).");
}

TEST(HelperConfinementTest, EveryEscapeFromTheLibraryIsRefused) {
    const ProgramCopy programs(kTakenOverLibrary);
    HostileFiles files;
    const QString secret = files.home() + QStringLiteral("/secret.txt");
    const QString sibling = files.media() + QStringLiteral("/sibling.txt");
    // What the sandbox answers with an error (the errno the cell shows);
    // everything else ends the reader.
    const std::map<QString, QString> failing = {
        {files.Add(QStringLiteral("read"), secret), QStringLiteral("read:13")},
        {files.Add(QStringLiteral("list"), files.home()), QStringLiteral("list:13")},
        {files.Add(QStringLiteral("read"), files.media() + QStringLiteral("/sub/inner.txt"),
                   QStringLiteral("read-subfolder")),
         QStringLiteral("read:13")},
        {files.Add(QStringLiteral("parent-environment")), QStringLiteral("parent-environment:13")},
        {files.Add(QStringLiteral("grandparent-environment"), QString::number(getpid())),
         QStringLiteral("grandparent-environment:13")},
        {files.Add(QStringLiteral("parent-memory")), QStringLiteral("parent-memory:13")},
        {files.Add(QStringLiteral("getenv"), QStringLiteral("QUORVID_TEST_SECRET")),
         QStringLiteral("getenv:unset")},
        {files.Add(QStringLiteral("write"), files.media() + QStringLiteral("/new.txt")),
         QStringLiteral("write:13")},
        {files.Add(QStringLiteral("write-descriptor"), sibling),
         QStringLiteral("write-descriptor:9")},
        {files.Add(QStringLiteral("socket")), QStringLiteral("socket:13")},
        {files.Add(QStringLiteral("tiocsti-tty")), QStringLiteral("tiocsti-tty:13")},
        {files.Add(QStringLiteral("clone3")), QStringLiteral("clone3:38")},
        {files.Add(QStringLiteral("io-uring")), QStringLiteral("io-uring:38")},
        {files.Add(QStringLiteral("openat2")), QStringLiteral("openat2:38")},
    };
    QStringList killedAttempts = {QStringLiteral("tiocsti-stderr"),
                                  QStringLiteral("tiocsti-high-bits"),
                                  QStringLiteral("fork"),
                                  QStringLiteral("clone-process"),
                                  QStringLiteral("clear-death-signal"),
                                  QStringLiteral("dumpable"),
                                  QStringLiteral("unlink"),
                                  QStringLiteral("rename"),
                                  QStringLiteral("mkdir"),
                                  QStringLiteral("chmod"),
                                  QStringLiteral("exec"),
                                  QStringLiteral("kill-parent"),
                                  QStringLiteral("ptrace-parent"),
                                  QStringLiteral("process-vm-readv"),
                                  QStringLiteral("unshare"),
                                  QStringLiteral("setns"),
                                  QStringLiteral("mount"),
                                  QStringLiteral("bpf"),
                                  QStringLiteral("userfaultfd"),
                                  QStringLiteral("perf-event-open"),
                                  QStringLiteral("keyctl"),
                                  QStringLiteral("personality"),
                                  QStringLiteral("pidfd-open"),
                                  QStringLiteral("executable-memory"),
                                  QStringLiteral("int80"),
                                  QStringLiteral("x32")};
    QStringList killed;
    for (const QString& attempt : killedAttempts) {
        killed << files.Add(attempt, sibling);
    }
    // What the reader may do: the file's own folder, and its own output.
    const QString allowedRead = files.media() + QStringLiteral("/allowed-read.mp4");
    HostileFiles::Write(allowedRead, "read " + QFile::encodeName(sibling) + "\nlist " +
                                         QFile::encodeName(files.media()) + "\nnoisy-stderr\n");

    // Without Landlock the filter alone confines: what is read is not narrowed.
    const bool landlock = landlock::Abi() > 0;
    if (!landlock) {
        std::fprintf(stderr, "This kernel has no Landlock: file access is not checked.\n");
    }
    BatchRun run = RunCopy(programs, {files.media()});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    EXPECT_FALSE(run.out.contains(kSecret));
    EXPECT_TRUE(!landlock || !run.out.contains("HOME-SECRET"));
    EXPECT_TRUE(!landlock || !run.out.contains("INNER-SECRET"));
    for (const auto& [path, expected] : failing) {
        if (!landlock && (expected.endsWith(QStringLiteral(":13")) &&
                          !expected.startsWith(QStringLiteral("write:")) &&
                          !expected.startsWith(QStringLiteral("socket:")))) {
            continue;
        }
        EXPECT_EQ(run.formats[path], expected) << path.toStdString() << "\n" << run.err.constData();
    }
    const bool i386Calls = KernelRunsI386Calls();
    for (const QString& path : killed) {
        const bool refusedByKernel = !i386Calls && path.endsWith(QStringLiteral("int80.mp4"));
        EXPECT_TRUE(refusedByKernel ? EndedBySignal(run, path, SIGSEGV) : Killed(run, path))
            << path.toStdString() << "\n"
            << run.err.constData();
        // The row still has the file facts, read by a reader that skips the library.
        EXPECT_EQ(run.formats.count(path), 1u) << path.toStdString();
    }
    const QString allowed = run.formats[allowedRead];
    EXPECT_TRUE(allowed.startsWith(QStringLiteral("read:ok:SIBLING-TEXT | list:ok:")))
        << allowed.toStdString();
    EXPECT_TRUE(allowed.contains(QStringLiteral("sibling.txt"))) << allowed.toStdString();
    // What the reader printed arrives as text, without its escape sequences.
    EXPECT_FALSE(run.err.contains('\x1b'));
    EXPECT_FALSE(run.err.contains('\a'));
    EXPECT_TRUE(run.err.contains("quorvid-batch: extraction helper: [2J]0;owned typed"))
        << run.err.constData();
    // Nothing was written, nothing left running.
    EXPECT_FALSE(QFile::exists(files.media() + QStringLiteral("/new.txt")));
    EXPECT_FALSE(QFile::exists(files.media() + QStringLiteral("/made")));
    EXPECT_TRUE(QFile::exists(sibling));
    EXPECT_TRUE(programs.NoneAliveWithin(3000));
}

TEST(HelperConfinementTest, NothingArrivesInTheInputOfTheTerminalQuorvidBatchRunsIn) {
    const ProgramCopy programs(kTakenOverLibrary);
    HostileFiles files;
    int master = -1;
    int terminal = -1;
    char terminalName[256] = {};
    ASSERT_EQ(openpty(&master, &terminal, terminalName, nullptr, nullptr), 0);
    files.Add(QStringLiteral("tiocsti-stderr"));
    files.Add(QStringLiteral("tiocsti-high-bits"));
    files.Add(QStringLiteral("tiocsti-tty"));
    files.Add(QStringLiteral("open-terminal"), QString::fromLocal8Bit(terminalName));
    files.Add(QStringLiteral("noisy-stderr"));
    const QByteArray program = QFile::encodeName(programs.batch());
    const QByteArray folder = QFile::encodeName(files.media());
    const QByteArray output = QFile::encodeName(files.dir.filePath(QStringLiteral("rows.jsonl")));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As a shell starts it: the terminal is its controlling terminal and
        // its standard input, output and error.
        setsid();
        ioctl(terminal, TIOCSCTTY, 0);
        dup2(terminal, STDIN_FILENO);
        dup2(terminal, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        execl(program.constData(), program.constData(), "-q", "--format", "json", "-o",
              output.constData(), folder.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    // The test holds the terminal's own end too, to look at its input.
    QByteArray shown;
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    while (waitpid(child, &status, WNOHANG) == 0 && waited.elapsed() < 60000) {
        char chunk[4096];
        fcntl(master, F_SETFL, O_NONBLOCK);
        const ssize_t got = read(master, chunk, sizeof chunk);
        if (got > 0) {
            shown.append(chunk, got);
        }
        QThread::msleep(20);
    }
    // What it wrote last may still wait in the terminal.
    for (char chunk[4096];;) {
        const ssize_t got = read(master, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        shown.append(chunk, got);
    }
    ASSERT_TRUE(WIFEXITED(status)) << shown.constData();
    EXPECT_EQ(WEXITSTATUS(status), 1) << shown.constData();
    EXPECT_TRUE(shown.contains("signal 31")) << shown.toStdString();
    EXPECT_FALSE(shown.contains('\x1b')) << shown.constData();
    int waiting = -1;
    ASSERT_EQ(ioctl(terminal, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0) << "typed into the terminal";
    char typed[16];
    EXPECT_LT(read(terminal, typed, sizeof typed), 1);
    close(terminal);
    close(master);
    EXPECT_TRUE(programs.NoneAliveWithin(3000));
}

TEST(HelperConfinementTest, NoReaderOutlivesQuorvidBatchStoppedByCtrlCOrKilled) {
    for (const int signal : {SIGINT, SIGKILL}) {
        const ProgramCopy programs(kTakenOverLibrary);
        HostileFiles files;
        const QString hanging = files.Add(QStringLiteral("hang"));
        QProcess process;
        process.start(programs.batch(), {QStringLiteral("-q"), hanging, hanging, hanging});
        ASSERT_TRUE(process.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        // The batch, two helpers and a reader at least (how many files are
        // read at once follows the storage), once the readers that try out
        // the confinement at start have gone.
        int stable = 0;
        while (stable < 3 && waited.elapsed() < 10000) {
            QThread::msleep(100);
            stable = programs.AliveProcesses() >= 4 ? stable + 1 : 0;
        }
        ASSERT_GE(programs.AliveProcesses(), 4) << signal;
        kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_TRUE(programs.NoneAliveWithin(3000)) << signal;
    }
}

TEST(HelperConfinementTest, ConfinedRowsEqualUnconfinedRowsCellForCell) {
    // Copies dated an hour ago and read now, so that reading them changes no date.
    QTemporaryDir copies;
    const QDir committed(QStringLiteral(QUORVID_TEST_MEDIA_DIR));
    QStringList media;
    for (const QString& name : committed.entryList(QDir::Files)) {
        const QString copy = copies.filePath(name);
        QFile::copy(committed.filePath(name), copy);
        QFile file(copy);
        file.open(QIODevice::ReadWrite);
        const QDateTime now = QDateTime::currentDateTime();
        file.setFileTime(now.addSecs(-3600), QFileDevice::FileModificationTime);
        file.setFileTime(now, QFileDevice::FileAccessTime);
        media << copy;
    }
    const ProgramCopy confined({});
    const ProgramCopy unconfined({}, false);
    const BatchRun withHelpers = RunCopy(confined, media);
    const BatchRun withoutHelpers = RunCopy(unconfined, media);
    EXPECT_EQ(withHelpers.exitCode, 0) << withHelpers.err.constData();
    ASSERT_GT(withHelpers.formats.size(), 5u);
    EXPECT_EQ(withHelpers.out, withoutHelpers.out);
}

}  // namespace
}  // namespace quorvid
