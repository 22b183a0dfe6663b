#include "core/export/WatchedProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "core/shell/platform/EventsTurningWait.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The watcher's end of the status pipe, the one descriptor it keeps.
constexpr int kStatusFd = 3;

[[noreturn]] void FailToStart() {
    throw StepFailure(QStringLiteral("The spreadsheet application could not be started: ") +
                      QString::fromLocal8Bit(std::strerror(errno)));
}

// The program's path and arguments as execv takes them. They are made before
// fork: after it only async-signal-safe calls are allowed.
class ExecArguments {
  public:
    ExecArguments(const QString& program, const QStringList& arguments) {
        bytes_.push_back(QFile::encodeName(program));
        for (const QString& argument : arguments) {
            bytes_.push_back(QFile::encodeName(argument));
        }
        for (QByteArray& bytes : bytes_) {
            argv_.push_back(bytes.data());
        }
        argv_.push_back(nullptr);
    }
    ExecArguments(const ExecArguments&) = delete;
    ExecArguments& operator=(const ExecArguments&) = delete;

    const char* path() const { return argv_.front(); }
    char* const* argv() const { return argv_.data(); }

  private:
    std::vector<QByteArray> bytes_;
    std::vector<char*> argv_;
};

struct StatusPipe {
    int readFd;
    int writeFd;
};

StatusPipe OpenStatusPipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        FailToStart();
    }
    return {fds[0], fds[1]};
}

// The wait status of child once it has ended (async-signal-safe).
int WaitForEnd(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The status the watcher writes; 127 when it ended without a word, as it does
// when it could not make the process.
int ReadExitStatus(int statusFd) {
    int exitStatus = 0;
    if (read(statusFd, &exitStatus, sizeof exitStatus) != static_cast<ssize_t>(sizeof exitStatus)) {
        return 127;
    }
    return exitStatus;
}

// Reads the exit status that the watcher writes, once it comes, or gives up
// after windowMs.
void WatchForLateExit(int statusFd, std::function<void(int)> onExit, int windowMs) {
    auto* notifier = new QSocketNotifier(statusFd, QSocketNotifier::Read);
    auto finished = std::make_shared<bool>(false);
    const auto finish = [notifier, statusFd, finished] {
        *finished = true;
        notifier->setEnabled(false);
        close(statusFd);
        notifier->deleteLater();
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [statusFd, onExit, finish, finished] {
                         if (*finished) {
                             return;
                         }
                         const int exitStatus = ReadExitStatus(statusFd);
                         finish();
                         onExit(exitStatus);
                     });
    QTimer::singleShot(windowMs, notifier, [finish, finished] {
        if (!*finished) {
            finish();
        }
    });
}

// Whether fd has something to read within waitMs. The wait runs beside the
// event loop, so the window paints while Calc starts.
bool WaitReadable(int fd, int waitMs) {
    int ready = 0;
    RunWhileEventsTurn([&] {
        pollfd pending{fd, POLLIN, 0};
        while ((ready = poll(&pending, 1, waitMs)) < 0 && errno == EINTR) {
        }
    });
    return ready > 0;
}

// Keeps nothing of this program open (its display connection above all), only
// the status pipe, which the started program does not inherit.
void KeepOnlyStatusPipe(int statusWriteFd) {
    if (statusWriteFd != kStatusFd) {
        dup2(statusWriteFd, kStatusFd);
    }
    fcntl(kStatusFd, F_SETFD, FD_CLOEXEC);
    close_range(kStatusFd + 1, ~0U, 0);
}

// The watcher waits for its child and writes to a pipe whose reader may be
// gone; nothing blocked by this program's threads stays blocked.
void ResetWatcherSignals() {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &defaults, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Runs the program to its end: its exit status, 128 + the signal that ended
// it, or 127 when it could not be started.
int RunToEnd(const ExecArguments& command) {
    const pid_t child = fork();
    if (child == 0) {
        execv(command.path(), command.argv());
        _exit(127);
    }
    if (child < 0) {
        return 127;
    }
    const int status = WaitForEnd(child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The forked child: only async-signal-safe calls from here on. The watcher is
// a grandchild, so that it belongs to no one here.
[[noreturn]] void RunWatcher(int statusWriteFd, const ExecArguments& command,
                             const QByteArray& removePath) {
    setsid();
    if (fork() != 0) {
        _exit(0);
    }
    KeepOnlyStatusPipe(statusWriteFd);
    ResetWatcherSignals();
    const int exitStatus = RunToEnd(command);
    if (!removePath.isEmpty()) {
        unlink(removePath.constData());
    }
    [[maybe_unused]] const ssize_t written = write(kStatusFd, &exitStatus, sizeof exitStatus);
    _exit(0);
}

// Forks the process that leaves the watcher behind and waits for it to end.
void StartWatcher(StatusPipe status, const ExecArguments& command, const QByteArray& removePath) {
    const pid_t intermediate = fork();
    if (intermediate < 0) {
        close(status.readFd);
        close(status.writeFd);
        FailToStart();
    }
    if (intermediate == 0) {
        RunWatcher(status.writeFd, command, removePath);
    }
    close(status.writeFd);
    WaitForEnd(intermediate);
}

// The exit status when it comes within waitMs; after that, onLateExit (when
// given) takes over the status pipe.
std::optional<int> AwaitExitStatus(int statusFd, int waitMs,
                                   const std::function<void(int)>& onLateExit, int lateWindowMs) {
    if (WaitReadable(statusFd, waitMs)) {
        const int exitStatus = ReadExitStatus(statusFd);
        close(statusFd);
        return exitStatus;
    }
    if (onLateExit) {
        WatchForLateExit(statusFd, onLateExit, lateWindowMs);
    } else {
        close(statusFd);
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> StartWatchedProgram(const QString& program, const QStringList& arguments,
                                       const QString& removeAfter, int waitMs,
                                       const std::function<void(int)>& onLateExit,
                                       int lateWindowMs) {
    // Everything the child processes need is prepared before fork.
    const ExecArguments command(program, arguments);
    const QByteArray removePath = QFile::encodeName(removeAfter);
    const StatusPipe status = OpenStatusPipe();
    StartWatcher(status, command, removePath);
    return AwaitExitStatus(status.readFd, waitMs, onLateExit, lateWindowMs);
}

}  // namespace quorvid
