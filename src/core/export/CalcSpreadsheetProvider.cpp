#include "core/export/CalcSpreadsheetProvider.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "core/export/XlsxWorkbook.h"
#include "core/shell/StepFailure.h"

namespace quorvid {

namespace {

// Long enough for a program that cannot start to say so (or for a running Calc
// to take over the file), short enough not to hold up the window.
constexpr int kStartCheckMs = 1500;
// A program that ends with an error this soon after its start did not start;
// later it may be the user's own session ending.
constexpr int kLateFailureWindowMs = 60000;

[[noreturn]] void FailWithErrno(const QString& what) {
    throw StepFailure(what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
}

QString StartFailure(const QString& program, int exitStatus) {
    return QStringLiteral("The spreadsheet application could not be started: ") +
           QDir::toNativeSeparators(program) + QStringLiteral(" ended with exit status ") +
           QString::number(exitStatus);
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

// Starts program in a session of its own, so that it outlives this program and
// is never ended with it. A small watcher process waits for it and then removes
// removeAfter (when given). Returns the program's exit status when it ends within
// waitMs milliseconds, nothing when it is still running then; in that case
// onLateExit (when given) gets the status if it ends within lateWindowMs more,
// through the event loop. Throws StepFailure when no process could be made.
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
    pollfd pending{statusPipe[0], POLLIN, 0};
    int ready = 0;
    while ((ready = poll(&pending, 1, waitMs)) < 0 && errno == EINTR) {
    }
    if (ready > 0) {
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

class CalcApplication : public SpreadsheetApplication {
  public:
    CalcApplication(QString program, CalcSpreadsheetProvider::LateFailureHandler lateFailure)
        : program_(std::move(program)), lateFailure_(std::move(lateFailure)) {}

    ~CalcApplication() override {
        // Once handed over, the watcher removes the file; before that it is ours.
        if (workbook_ && !handedOver_) {
            const QString path = workbook_->path();
            workbook_.reset();
            QFile::remove(path);
        }
    }

    SpreadsheetWorkbook& AddWorkbook() override {
        if (workbook_) {
            throw StepFailure(QStringLiteral("The spreadsheet application has a workbook already"));
        }
        QTemporaryFile reserved(QDir::tempPath() + QStringLiteral("/Quorvid-XXXXXX.xlsx"));
        reserved.setAutoRemove(false);
        if (!reserved.open()) {
            throw StepFailure(QStringLiteral("No workbook file could be made in ") +
                              QDir::toNativeSeparators(QDir::tempPath()) + QStringLiteral(": ") +
                              reserved.errorString());
        }
        const QString path = reserved.fileName();
        reserved.close();
        try {
            workbook_ = std::make_unique<XlsxWorkbook>(path);
        } catch (...) {
            QFile::remove(path);
            throw;
        }
        return *workbook_;
    }

    void SetVisible(bool visible) override {
        if (!visible || shown_) {
            return;
        }
        QStringList arguments{QStringLiteral("--calc")};
        QString file;
        if (workbook_) {
            workbook_->Finish();
            file = workbook_->path();
            arguments << QStringLiteral("-n") << file;
        }
        std::function<void(int)> onLateExit;
        if (lateFailure_) {
            onLateExit = [handler = lateFailure_, program = program_](int exitStatus) {
                if (exitStatus != 0) {
                    handler(StartFailure(program, exitStatus));
                }
            };
        }
        const std::optional<int> status = StartWatchedProgram(
            program_, arguments, file, kStartCheckMs, onLateExit, kLateFailureWindowMs);
        handedOver_ = true;
        if (status && *status != 0) {
            if (!file.isEmpty()) {
                QFile::remove(file);
            }
            throw StepFailure(StartFailure(program_, *status));
        }
        shown_ = true;
    }

  private:
    QString program_;
    CalcSpreadsheetProvider::LateFailureHandler lateFailure_;
    std::unique_ptr<XlsxWorkbook> workbook_;
    bool handedOver_ = false;
    bool shown_ = false;
};

}  // namespace

QString CalcSpreadsheetProvider::FindProgram() {
    for (const auto* name : {"soffice", "libreoffice", "localc"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

std::unique_ptr<SpreadsheetApplication> CalcSpreadsheetProvider::CreateApplication() {
    const QString program = FindProgram();
    if (program.isEmpty()) {
        throw StepFailure(QStringLiteral(
            "No spreadsheet application was found (soffice, libreoffice or localc on PATH)"));
    }
    return std::make_unique<CalcApplication>(program, lateFailure_);
}

}  // namespace quorvid
