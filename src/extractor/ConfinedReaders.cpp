#include "extractor/ConfinedReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>

#include "core/pool/ExtractorProtocol.h"
#include "extractor/ExtractorService.h"
#include "extractor/SyscallFilter.h"

namespace quorvid {

namespace {

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
               : QStringLiteral(
                     "this kernel has no Landlock, so the extraction helpers are "
                     "confined by their system-call filter alone and may read any "
                     "file the user may read");
}

std::optional<QString> ConfinedReaders::Confine(const QString& probePath) {
    const int threads = ThreadCount();
    if (threads != 1) {
        return QStringLiteral(
                   "the helper runs %1 threads once its libraries are loaded, so "
                   "its readers cannot be forked safely")
            .arg(threads);
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
    bool requestsOpen = true;
    char chunk[16 * 1024];
    while (requestsOpen || reader_.pid > 0) {
        pollfd watched[2] = {{requestsOpen ? inFd : -1, POLLIN, 0},
                             {reader_.pid > 0 ? reader_.records : -1, POLLIN, 0}};
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        if (watched[1].revents != 0 && !Relay(outFd)) {
            Reap();
        }
        if (watched[0].revents == 0) {
            continue;
        }
        const ssize_t got = read(inFd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            requestsOpen = false;
            if (reader_.pid > 0) {
                close(reader_.requests);
                reader_.requests = -1;
            }
            continue;
        }
        requests.Append(chunk, got);
        while (const std::optional<protocol::Message> message = requests.Next()) {
            if (message->type != protocol::MessageType::Extract) {
                return 2;
            }
            Dispatch(*message, outFd);
        }
        if (requests.broken()) {
            return 2;
        }
    }
    return 0;
}

void ConfinedReaders::Dispatch(const protocol::Message& request, int outFd) {
    const bool covered = reader_.pid > 0 && reader_.requests >= 0 &&
                         reader_.generation == confinement_.generation() &&
                         confinement_.Covers(request.path);
    if (covered) {
        const QByteArray frame = protocol::EncodeExtract(request.id, request.path, request.flags);
        if (WriteAll(reader_.requests, frame.constData(), frame.size())) {
            reader_.unfinished.push_back(request.id);
            return;
        }
    }
    Retire(outFd);
    StartReader(request);
}

void ConfinedReaders::StartReader(const protocol::Message& request) {
    const pid_t helper = getpid();
    const std::optional<QString> unprepared = confinement_.Prepare(request.path);
    int requests[2];
    int records[2];
    if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(records, O_CLOEXEC) != 0) {
        _exit(1);
    }
    const QByteArray first = protocol::EncodeExtract(request.id, request.path, request.flags);
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
        dup2(requests[0], STDIN_FILENO);
        dup2(records[1], STDOUT_FILENO);
        const std::optional<QString> problem =
            unprepared ? unprepared : confinement_.Apply(request.path);
        if (problem) {
            const QByteArray line =
                "the reader could not confine itself: " + problem->toUtf8() + "\n";
            WriteAll(STDERR_FILENO, line.constData(), line.size());
            _exit(kNotConfinedExitCode);
        }
        // Only requests the helper let through reach it, each for a file its
        // rules cover.
        protocol::FrameReader incoming;
        char chunk[16 * 1024];
        for (;;) {
            const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                _exit(0);
            }
            incoming.Append(chunk, got);
            while (const std::optional<protocol::Message> message = incoming.Next()) {
                RecordStream sink(STDOUT_FILENO, journal_, message->id);
                extractor_.Extract(message->path, &sink,
                                   (message->flags & protocol::kSkipLibrary) != 0
                                       ? FileExtractor::LibraryUse::Skip
                                       : FileExtractor::LibraryUse::Read);
                sink.Finish();
            }
        }
    }
    close(requests[0]);
    close(records[1]);
    reader_ = Reader{};
    reader_.pid = pid;
    reader_.requests = requests[1];
    reader_.records = records[0];
    reader_.generation = confinement_.generation();
    if (WriteAll(reader_.requests, first.constData(), first.size())) {
        reader_.unfinished.push_back(request.id);
    }
}

bool ConfinedReaders::Relay(int outFd) {
    char chunk[64 * 1024];
    ssize_t got = 0;
    do {
        got = read(reader_.records, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return false;
    }
    // What comes once every request sent is finished would pass for the next
    // file's record: it is dropped, and the reader with it. Anything else it
    // sends, the parent finds broken by itself.
    qsizetype end = 0;
    bool stray = reader_.unfinished.empty();
    if (!stray) {
        end = got;
        reader_.frames.Append(chunk, got);
        // Only where frames end is needed here; the parent reads them.
        while (const auto frame = reader_.frames.SkipNext()) {
            if (frame->type == protocol::MessageType::FileDone &&
                frame->id == reader_.unfinished.front()) {
                reader_.unfinished.pop_front();
                if (reader_.unfinished.empty()) {
                    end = got - reader_.frames.pendingBytes();
                    stray = end < got;
                    break;
                }
            }
        }
    }
    if (end > 0 && !WriteAll(outFd, chunk, end)) {
        kill(reader_.pid, SIGKILL);
        _exit(0);  // the parent is gone
    }
    if (stray) {
        kill(reader_.pid, SIGKILL);
        Reap();
    }
    return true;
}

void ConfinedReaders::Reap() {
    if (reader_.requests >= 0) {
        close(reader_.requests);
    }
    close(reader_.records);
    const int status = WaitFor(reader_.pid);
    const bool unfinished = !reader_.unfinished.empty();
    reader_ = Reader{};
    if (unfinished) {
        EndLike(status);
    }
}

void ConfinedReaders::Retire(int outFd) {
    if (reader_.pid <= 0) {
        return;
    }
    close(reader_.requests);
    reader_.requests = -1;
    while (reader_.pid > 0 && Relay(outFd)) {
    }
    if (reader_.pid > 0) {
        Reap();
    }
}

}  // namespace quorvid
