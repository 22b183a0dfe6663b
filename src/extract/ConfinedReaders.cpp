#include "extract/ConfinedReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>

#include "extract/ExtractorProtocol.h"
#include "extract/ExtractorService.h"
#include "extract/SyscallFilter.h"

namespace quorvid {

namespace {

bool WriteAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Readers are forked, which is only safe while the helper has one thread.
int ThreadCount() {
    int count = 0;
    if (DIR* const tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(tasks);
    }
    return count;
}

// Ends the helper as its reader ended, so that the parent reports the file as
// it would have had the helper read it.
[[noreturn]] void EndLike(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        ::signal(signal, SIG_DFL);
        kill(getpid(), signal);
        _exit(128 + signal);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

ConfinedReaders::ConfinedReaders(const FileExtractor& extractor, JournalWriter* journal)
    : extractor_(extractor), journal_(journal) {}

QString ConfinedReaders::note() const {
    return confinement_.hasLandlock()
               ? QString()
               : QStringLiteral("this kernel has no Landlock, so the extraction helpers are "
                                "confined by their system-call filter alone and may read any "
                                "file the user may read");
}

std::optional<QString> ConfinedReaders::Confine(const QString& probePath) {
    const int threads = ThreadCount();
    if (threads != 1) {
        return QStringLiteral("the helper runs %1 threads once its libraries are loaded, so "
                              "its readers cannot be forked safely")
            .arg(threads);
    }
    nullFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullFd_ < 0) {
        return QStringLiteral("/dev/null could not be opened");
    }
    if (const auto problem = InstallSyscallFilter(SyscallPolicy::Helper)) {
        return problem;
    }
    if (const auto problem = confinement_.Prepare(probePath)) {
        return problem;
    }
    // A reader that confines itself and stops: whatever it could not do is
    // what every reader would fail at.
    int reasons[2];
    if (pipe2(reasons, O_CLOEXEC) != 0) {
        return QStringLiteral("no pipe to a reader could be made");
    }
    const pid_t pid = fork();
    if (pid < 0) {
        return QStringLiteral("no reader could be started");
    }
    if (pid == 0) {
        dup2(reasons[1], STDOUT_FILENO);
        if (const auto problem = confinement_.Apply(probePath)) {
            const QByteArray text = problem->toUtf8();
            WriteAll(STDOUT_FILENO, text.constData(), text.size());
            _exit(kNotConfinedExitCode);
        }
        _exit(0);
    }
    close(reasons[1]);
    QByteArray reason;
    char chunk[512];
    for (ssize_t got; (got = read(reasons[0], chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno != EINTR) {
            break;
        }
        if (got > 0 && reason.size() < 4096) {
            reason.append(chunk, got);
        }
    }
    close(reasons[0]);
    const int status = WaitFor(pid);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return std::nullopt;
    }
    return reason.isEmpty() ? QStringLiteral("a reader could not confine itself")
                            : QString::fromUtf8(reason);
}

int ConfinedReaders::Serve(int inFd, int outFd) {
    protocol::FrameReader requests;
    char chunk[16 * 1024];
    for (;;) {
        const ssize_t got = read(inFd, chunk, sizeof chunk);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        requests.Append(chunk, got);
        while (const std::optional<protocol::Message> message = requests.Next()) {
            if (message->type != protocol::MessageType::Extract) {
                return 2;
            }
            Read(message->id, message->path, (message->flags & protocol::kSkipLibrary) != 0,
                 outFd);
        }
        if (requests.broken()) {
            return 2;
        }
    }
}

bool ConfinedReaders::Read(std::uint32_t id, const QString& path, bool skipLibrary, int outFd) {
    const pid_t helper = getpid();
    const std::optional<QString> unprepared = confinement_.Prepare(path);
    int record[2];
    if (pipe2(record, O_CLOEXEC) != 0) {
        _exit(1);
    }
    const pid_t pid = fork();
    if (pid < 0) {
        _exit(1);
    }
    if (pid == 0) {
        // The reader goes when the helper goes, however the helper ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != helper) {
            _exit(1);
        }
        dup2(record[1], STDOUT_FILENO);
        dup2(nullFd_, STDIN_FILENO);
        const std::optional<QString> problem =
            unprepared ? unprepared : confinement_.Apply(path);
        if (problem) {
            const QByteArray line = "the reader could not confine itself: " + problem->toUtf8() +
                                    "\n";
            WriteAll(STDERR_FILENO, line.constData(), line.size());
            _exit(kNotConfinedExitCode);
        }
        RecordStream sink(STDOUT_FILENO, journal_, id);
        extractor_.Extract(path, &sink,
                           skipLibrary ? FileExtractor::LibraryUse::Skip
                                       : FileExtractor::LibraryUse::Read);
        sink.Finish();
        _exit(0);
    }
    close(record[1]);

    // The record goes on as it comes, up to the end of this request's record:
    // whatever a taken-over reader sends after that would pass for the next
    // file's. Anything else it sends the parent finds broken by itself.
    protocol::FrameReader frames;
    char chunk[64 * 1024];
    qint64 received = 0;
    qint64 forwarded = 0;
    bool finished = false;
    for (;;) {
        const ssize_t got = read(record[0], chunk, sizeof chunk);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        received += got;
        frames.Append(chunk, got);
        qint64 end = received;
        while (const std::optional<protocol::Message> message = frames.Next()) {
            if (message->type == protocol::MessageType::FileDone && message->id == id) {
                end = received - frames.pendingBytes();
                finished = true;
                break;
            }
        }
        const qint64 first = forwarded - (received - got);
        if (!WriteAll(outFd, chunk + first, end - forwarded)) {
            kill(pid, SIGKILL);
            _exit(0);  // the parent is gone
        }
        forwarded = end;
        if (finished) {
            // Its record is whole; whatever it would still do is of no use.
            kill(pid, SIGKILL);
            break;
        }
    }
    close(record[0]);
    const int status = WaitFor(pid);
    if (!finished) {
        EndLike(status);
    }
    return true;
}

}  // namespace quorvid
