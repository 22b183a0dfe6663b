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

[[noreturn]] void FailWithErrno(const QString& what) {
    throw StepFailure(what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
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
                         int exitStatus = 0;
                         const bool complete = read(statusFd, &exitStatus, sizeof exitStatus) ==
                                               static_cast<ssize_t>(sizeof exitStatus);
                         finish();
                         onExit(complete ? exitStatus : 127);
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

}  // namespace

std::optional<int> StartWatchedProgram(const QString& program, const QStringList& arguments,
                                       const QString& removeAfter, int waitMs,
                                       const std::function<void(int)>& onLateExit,
                                       int lateWindowMs) {
    // Everything the child processes need is prepared here: after fork only
    // async-signal-safe calls are allowed.
    const QByteArray programPath = QFile::encodeName(program);
    std::vector<QByteArray> argumentBytes{programPath};
    for (const QString& argument : arguments) {
        argumentBytes.push_back(QFile::encodeName(argument));
    }
    std::vector<char*> argv;
    for (QByteArray& bytes : argumentBytes) {
        argv.push_back(bytes.data());
    }
    argv.push_back(nullptr);
    const QByteArray removePath = QFile::encodeName(removeAfter);

    int statusPipe[2];
    if (pipe2(statusPipe, O_CLOEXEC) != 0) {
        FailWithErrno(QStringLiteral("The spreadsheet application could not be started"));
    }
    const pid_t intermediate = fork();
    if (intermediate < 0) {
        close(statusPipe[0]);
        close(statusPipe[1]);
        FailWithErrno(QStringLiteral("The spreadsheet application could not be started"));
    }
    if (intermediate == 0) {
        // The watcher is a grandchild, so that it belongs to no one here.
        setsid();
        if (fork() != 0) {
            _exit(0);
        }
        // Keep nothing of this program open (its display connection above all),
        // only the status pipe, which the started program does not inherit.
        constexpr int kStatusFd = 3;
        if (statusPipe[1] != kStatusFd) {
            dup2(statusPipe[1], kStatusFd);
        }
        fcntl(kStatusFd, F_SETFD, FD_CLOEXEC);
        close_range(kStatusFd + 1, ~0U, 0);
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        sigaction(SIGCHLD, &defaults, nullptr);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);

        int exitStatus = 127;
        const pid_t child = fork();
        if (child == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (child > 0) {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (!removePath.isEmpty()) {
            unlink(removePath.constData());
        }
        [[maybe_unused]] const ssize_t written = write(kStatusFd, &exitStatus, sizeof exitStatus);
        _exit(0);
    }

    close(statusPipe[1]);
    int intermediateStatus = 0;
    while (waitpid(intermediate, &intermediateStatus, 0) < 0 && errno == EINTR) {
    }
    std::optional<int> result;
    if (WaitReadable(statusPipe[0], waitMs)) {
        int exitStatus = 0;
        if (read(statusPipe[0], &exitStatus, sizeof exitStatus) ==
            static_cast<ssize_t>(sizeof exitStatus)) {
            result = exitStatus;
        } else {
            // The watcher ended without a word: it could not make the process.
            result = 127;
        }
    } else if (onLateExit) {
        WatchForLateExit(statusPipe[0], onLateExit, lateWindowMs);
        return result;
    }
    close(statusPipe[0]);
    return result;
}

}  // namespace quorvid
