#include "extractor/ConfinedReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/extraction/GioShell.h"
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

// How a reader that left its request unfinished ended, for the parent.
QByteArray EndOf(std::uint32_t id, int status) {
    if (WIFSIGNALED(status)) {
        return protocol::EncodeReaderEnded(id, protocol::ReaderEnd::Signaled,
                                           static_cast<std::uint32_t>(WTERMSIG(status)));
    }
    return protocol::EncodeReaderEnded(
        id, protocol::ReaderEnd::Exited,
        static_cast<std::uint32_t>(WIFEXITED(status) ? WEXITSTATUS(status) : 1));
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The most of a file asked for ahead of the library: every byte of a clip, the
// head of a film.
constexpr off_t kReadAheadBytes = 8 * 1024 * 1024;

// Asks the system for the file's first bytes at once, as one stream: on a
// share in large requests side by side, on a single head without a seek
// between the library's small reads.
void ReadAhead(const QString& path) {
    const int fd =
        open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        posix_fadvise(fd, 0, std::min<off_t>(status.st_size, kReadAheadBytes), POSIX_FADV_WILLNEED);
    }
    close(fd);
}

// Its bytes are gone once it is handed on: a reader forked later finds none.
void Wipe(QString& text) {
    if (!text.isEmpty()) {
        std::fill(text.begin(), text.end(), QChar());
    }
}

}  // namespace

ConfinedReaders::ConfinedReaders(const FileExtractor& extractor,
                                 std::vector<JournalWriter*> journals, bool readersPerFolder)
    : extractor_(extractor),
      journals_(journals.empty() ? std::vector<JournalWriter*>{nullptr} : std::move(journals)),
      readersPerFolder_(readersPerFolder) {
    if (readersPerFolder_) {
        journals_.resize(1);
    }
}

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
    std::vector<pollfd> watched;
    while (requestsOpen || !readers_.empty()) {
        FinishEnded(outFd);
        // A request is taken only when a reader can be given it: the others
        // wait in the pipe, not in this process's memory.
        const bool takeRequest =
            requestsOpen && (readers_.size() < journals_.size() || readersPerFolder_);
        watched.assign(1, {takeRequest ? inFd : -1, POLLIN, 0});
        for (const Reader& reader : readers_) {
            watched.push_back({reader.records, POLLIN, 0});
        }
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            EndAll();
            return 1;
        }
        for (size_t i = 0; i < readers_.size(); ++i) {
            if (watched[i + 1].revents != 0 && !Relay(readers_[i], outFd) && !readers_[i].endedBy) {
                readers_[i].closed = true;
            }
        }
        FinishEnded(outFd);
        if (watched[0].revents == 0) {
            continue;
        }
        const Requests requests = TakeRequest(inFd);
        if (requests == Requests::Broken) {
            EndAll();
            return 2;
        }
        requestsOpen = requests == Requests::Open;
    }
    return 0;
}

ConfinedReaders::Requests ConfinedReaders::TakeRequest(int inFd) {
    char frame[protocol::kMaxRequestBytes];
    const qsizetype size = ReadFrame(inFd, frame, sizeof frame);
    if (size == 0) {
        for (Reader& reader : readers_) {
            if (reader.requests >= 0) {
                close(reader.requests);
                reader.requests = -1;
            }
        }
        return Requests::Closed;
    }
    std::optional<protocol::Message> request =
        size > 0 ? protocol::DecodeFrame(frame, size) : std::nullopt;
    const bool known = request && (request->type == protocol::MessageType::Extract ||
                                   request->type == protocol::MessageType::Abandon);
    if (known && request->type == protocol::MessageType::Extract) {
        Dispatch(*request, frame, size);
    } else if (known) {
        Abandon(request->id);
    }
    explicit_bzero(frame, static_cast<size_t>(std::max<qsizetype>(size, 0)));
    if (request) {
        Wipe(request->path);
    }
    return known ? Requests::Open : Requests::Broken;
}

void ConfinedReaders::Dispatch(const protocol::Message& request, const char* frame,
                               qsizetype size) {
    const bool covered = confinement_.Covers(request.path);
    if (readersPerFolder_ && covered) {
        for (Reader& reader : readers_) {
            if (reader.requests >= 0 && reader.generation == confinement_.generation()) {
                Give(reader, request.id, frame, size);
                return;
            }
        }
    }
    const int slot = readersPerFolder_ ? 0 : request.slot;
    if (slot >= static_cast<int>(journals_.size())) {
        // A slot the helper has no journal for: the parent and helper disagree.
        readers_.push_back(Reader{});
        readers_.back().id = request.id;
        readers_.back().endedBy = protocol::ReaderEnd::Misbehaved;
        return;
    }
    const std::optional<QString> unprepared =
        covered ? std::nullopt : confinement_.Prepare(request.path);
    // What the files of a folder share is read once, here, not in every reader.
    extractor_.PrepareFolderOf(request.path);
    GioShell::PrepareFolderOf(request.path);
    readers_.push_back(Fork(request.path, slot, unprepared));
    Give(readers_.back(), request.id, frame, size);
}

ConfinedReaders::Reader ConfinedReaders::Fork(const QString& path, int slot,
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
        RunReader(path, slot, unprepared, requests[0], records[1]);
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

void ConfinedReaders::RunReader(const QString& path, int slot,
                                const std::optional<QString>& unprepared, int requests,
                                int records) const {
    // Its own file's journal is the only one it keeps: no reader can write
    // what the parent would take for another file's.
    for (size_t i = 0; i < journals_.size(); ++i) {
        if (static_cast<int>(i) != slot && journals_[i] != nullptr) {
            journals_[i]->Release();
        }
    }
    dup2(requests, STDIN_FILENO);
    dup2(records, STDOUT_FILENO);
    const std::optional<QString> problem = unprepared ? unprepared : confinement_.Apply(path);
    if (problem) {
        const QByteArray line = "the reader could not confine itself: " + problem->toUtf8() + "\n";
        WriteAll(STDERR_FILENO, line.constData(), line.size());
        _exit(kNotConfinedExitCode);
    }
    ReadRequests(slot);
}

// Only requests the helper let through reach it, each for a file its rules cover.
void ConfinedReaders::ReadRequests(int slot) const {
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
        RecordStream sink(STDOUT_FILENO, journals_[static_cast<size_t>(slot)], request->id);
        const bool library = (request->flags & protocol::kSkipLibrary) == 0;
        if (library) {
            ReadAhead(request->path);
        }
        extractor_.Extract(
            request->path, &sink,
            library ? FileExtractor::LibraryUse::Read : FileExtractor::LibraryUse::Skip);
        sink.Finish();
    }
}

void ConfinedReaders::Give(Reader& reader, std::uint32_t id, const char* frame,
                           qsizetype size) const {
    // Expected even when it cannot be sent: a reader that is gone left it unfinished.
    reader.output.Expect(id);
    reader.id = id;
    WriteAll(reader.requests, frame, size);
    if (!readersPerFolder_) {
        close(reader.requests);
        reader.requests = -1;
    }
}

bool ConfinedReaders::Relay(Reader& reader, int outFd) {
    if (reader.endedBy || reader.pid <= 0) {
        return false;
    }
    char chunk[64 * 1024];
    ssize_t got = 0;
    do {
        got = read(reader.records, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return false;
    }
    const bool allowed = reader.output.Take(chunk, got);
    if (!WriteAll(outFd, reader.output.TakePassed())) {
        EndAll();
        _exit(0);  // the parent is gone
    }
    if (!allowed) {
        kill(reader.pid, SIGKILL);
        reader.endedBy = protocol::ReaderEnd::Misbehaved;
        return false;
    }
    return true;
}

void ConfinedReaders::Finish(Reader& reader, int outFd) {
    const std::optional<QByteArray> rest =
        reader.endedBy ? std::nullopt : reader.output.TakeRestOnClose();
    int status = 0;
    if (reader.pid > 0) {
        // Nothing of it outlasts its file: it may have closed its output and
        // gone on (its journal is the next file's).
        kill(reader.pid, SIGKILL);
        if (reader.requests >= 0) {
            close(reader.requests);
        }
        close(reader.records);
        status = WaitFor(reader.pid);
    }
    // Its file is done only once it is gone.
    const QByteArray end = reader.endedBy
                               ? protocol::EncodeReaderEnded(reader.id, *reader.endedBy, 0)
                           : rest ? *rest
                                  : EndOf(reader.id, status);
    if (!WriteAll(outFd, end)) {
        EndAll();
        _exit(0);  // the parent is gone
    }
}

void ConfinedReaders::FinishEnded(int outFd) {
    for (size_t i = readers_.size(); i-- > 0;) {
        if (readers_[i].closed || readers_[i].endedBy) {
            Finish(readers_[i], outFd);
            readers_.erase(readers_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void ConfinedReaders::Abandon(std::uint32_t id) {
    for (Reader& reader : readers_) {
        if (reader.id == id && reader.pid > 0 && !reader.endedBy) {
            kill(reader.pid, SIGKILL);
            reader.endedBy = protocol::ReaderEnd::Abandoned;
        }
    }
}

void ConfinedReaders::EndAll() {
    for (Reader& reader : readers_) {
        if (reader.pid > 0) {
            kill(reader.pid, SIGKILL);
            WaitFor(reader.pid);
        }
    }
    readers_.clear();
}

}  // namespace quorvid
