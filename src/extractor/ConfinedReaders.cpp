#include "extractor/ConfinedReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

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

// Its bytes are gone once it is handed on: a reader forked later finds none.
void Wipe(QString& text) {
    if (!text.isEmpty()) {
        std::fill(text.begin(), text.end(), QChar());
    }
}

}  // namespace

ConfinedReaders::ConfinedReaders(const FileExtractor& extractor, JournalWriter* journal,
                                 bool readersPerFolder)
    : extractor_(extractor), journal_(journal), readersPerFolder_(readersPerFolder) {}

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
    bool requestsOpen = true;
    while (requestsOpen || reader_.pid > 0) {
        // One file's reader at a time: the next request waits in the pipe.
        const bool takeRequest = requestsOpen && (readersPerFolder_ || reader_.pid <= 0);
        pollfd watched[2] = {{takeRequest ? inFd : -1, POLLIN, 0},
                             {reader_.pid > 0 ? reader_.records : -1, POLLIN, 0}};
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        if (watched[1].revents != 0 && !Relay(outFd)) {
            Reap(outFd);
        }
        if (watched[0].revents == 0) {
            continue;
        }
        const Requests requests = TakeRequest(inFd, outFd);
        if (requests == Requests::Broken) {
            DropSpare();
            return 2;
        }
        requestsOpen = requests == Requests::Open;
    }
    DropSpare();
    return 0;
}

ConfinedReaders::Requests ConfinedReaders::TakeRequest(int inFd, int outFd) {
    char frame[protocol::kMaxRequestBytes];
    const qsizetype size = ReadFrame(inFd, frame, sizeof frame);
    if (size == 0) {
        if (reader_.requests >= 0) {
            close(reader_.requests);
            reader_.requests = -1;
        }
        return Requests::Closed;
    }
    std::optional<protocol::Message> request =
        size > 0 ? protocol::DecodeFrame(frame, size) : std::nullopt;
    const bool extract = request && request->type == protocol::MessageType::Extract;
    if (extract) {
        Dispatch(*request, frame, size, outFd);
    }
    explicit_bzero(frame, static_cast<size_t>(std::max<qsizetype>(size, 0)));
    if (request) {
        Wipe(request->path);
    }
    if (!extract) {
        return Requests::Broken;
    }
    if (spareWanted_ && spare_.pid <= 0) {
        spare_ = Fork(nullptr, std::nullopt);
    }
    return Requests::Open;
}

void ConfinedReaders::Dispatch(const protocol::Message& request, const char* frame, qsizetype size,
                               int outFd) {
    const bool covered = confinement_.Covers(request.path);
    if (readersPerFolder_) {
        if (reader_.pid > 0 && reader_.requests >= 0 &&
            reader_.generation == confinement_.generation() && covered) {
            Give(reader_, request.id, frame, size);
            return;
        }
        Retire(outFd);
    }
    const bool spareFits = spare_.pid > 0 && spare_.generation == confinement_.generation();
    if (covered && spareFits) {
        reader_ = std::exchange(spare_, Reader{});
    } else {
        DropSpare();
        const std::optional<QString> unprepared = confinement_.Prepare(request.path);
        reader_ = Fork(&request.path, unprepared);
    }
    // A spare pays where a run of files of one folder goes on.
    spareWanted_ = covered && !readersPerFolder_;
    Give(reader_, request.id, frame, size);
}

ConfinedReaders::Reader ConfinedReaders::Fork(const QString* path,
                                              const std::optional<QString>& unprepared) const {
    int requests[2];
    int records[2];
    if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(records, O_CLOEXEC) != 0) {
        _exit(1);
    }
    const pid_t helper = getpid();
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
        RunReader(path, unprepared, requests[0], records[1]);
    }
    close(requests[0]);
    close(records[1]);
    Reader reader;
    reader.pid = pid;
    reader.requests = requests[1];
    reader.records = records[0];
    reader.generation = confinement_.generation();
    reader.output = ReaderOutput(!readersPerFolder_);
    return reader;
}

void ConfinedReaders::RunReader(const QString* path, const std::optional<QString>& unprepared,
                                int requests, int records) const {
    dup2(requests, STDIN_FILENO);
    dup2(records, STDOUT_FILENO);
    const std::optional<QString> problem =
        unprepared ? unprepared
                   : (path != nullptr ? confinement_.Apply(*path) : confinement_.ApplyToFolder());
    if (problem) {
        const QByteArray line = "the reader could not confine itself: " + problem->toUtf8() + "\n";
        WriteAll(STDERR_FILENO, line.constData(), line.size());
        _exit(kNotConfinedExitCode);
    }
    ReadRequests();
}

// Only requests the helper let through reach it, each for a file its rules cover.
void ConfinedReaders::ReadRequests() const {
    char frame[protocol::kMaxRequestBytes];
    for (;;) {
        const qsizetype size = ReadFrame(STDIN_FILENO, frame, sizeof frame);
        const std::optional<protocol::Message> request =
            size > 0 ? protocol::DecodeFrame(frame, size) : std::nullopt;
        if (!request) {
            // Its record is whole once its output closes, before the exit.
            close(STDOUT_FILENO);
            _exit(size == 0 ? 0 : 1);
        }
        RecordStream sink(STDOUT_FILENO, journal_, request->id);
        extractor_.Extract(request->path, &sink,
                           (request->flags & protocol::kSkipLibrary) != 0
                               ? FileExtractor::LibraryUse::Skip
                               : FileExtractor::LibraryUse::Read);
        sink.Finish();
    }
}

void ConfinedReaders::Give(Reader& reader, std::uint32_t id, const char* frame,
                           qsizetype size) const {
    // Expected even when it cannot be sent: a reader that is gone left it unfinished.
    reader.output.Expect(id);
    WriteAll(reader.requests, frame, size);
    if (!readersPerFolder_) {
        close(reader.requests);
        reader.requests = -1;
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
    if (!reader_.output.Take(chunk, got)) {
        Abandon();
    }
    if (!WriteAll(outFd, reader_.output.TakePassed())) {
        kill(reader_.pid, SIGKILL);
        _exit(0);  // the parent is gone
    }
    return true;
}

void ConfinedReaders::Reap(int outFd) {
    const std::optional<QByteArray> rest = reader_.output.TakeRestOnClose();
    if (rest && !WriteAll(outFd, *rest)) {
        kill(reader_.pid, SIGKILL);
        _exit(0);  // the parent is gone
    }
    // Nothing of it outlasts its file: it may have closed its output and gone
    // on (the journal is the next file's).
    kill(reader_.pid, SIGKILL);
    if (reader_.requests >= 0) {
        close(reader_.requests);
    }
    close(reader_.records);
    const int status = WaitFor(reader_.pid);
    reader_ = Reader{};
    if (!rest) {
        DropSpare();
        EndLike(status);
    }
}

void ConfinedReaders::Abandon() {
    kill(reader_.pid, SIGKILL);
    DropSpare();
    WaitFor(reader_.pid);
    _exit(protocol::kReaderMisbehavedExitCode);
}

void ConfinedReaders::Retire(int outFd) {
    if (reader_.pid <= 0) {
        return;
    }
    close(reader_.requests);
    reader_.requests = -1;
    while (Relay(outFd)) {
    }
    Reap(outFd);
}

void ConfinedReaders::DropSpare() {
    if (spare_.pid <= 0) {
        return;
    }
    kill(spare_.pid, SIGKILL);
    close(spare_.requests);
    close(spare_.records);
    WaitFor(spare_.pid);
    spare_ = Reader{};
}

}  // namespace quorvid
