#include "extractor/ExtractorService.h"

#include <unistd.h>

#include <QtEndian>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/pool/ExtractorProtocol.h"

namespace quorvid {

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

bool WriteAll(int fd, const QByteArray& bytes) {
    return WriteAll(fd, bytes.constData(), bytes.size());
}

namespace {

// 1 when all of size came, 0 at the end of fd before any, -1 otherwise.
int ReadExactly(int fd, char* into, qsizetype size) {
    for (qsizetype done = 0; done < size;) {
        const ssize_t got = read(fd, into + done, static_cast<size_t>(size - done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0 && done == 0 ? 0 : -1;
        }
        done += got;
    }
    return 1;
}

}  // namespace

qsizetype ReadFrame(int fd, char* buffer, qsizetype capacity) {
    const int begun = ReadExactly(fd, buffer, 4);
    if (begun <= 0) {
        return begun;
    }
    const std::uint32_t length = qFromLittleEndian<std::uint32_t>(buffer);
    if (length > static_cast<std::uint64_t>(capacity - 4) ||
        ReadExactly(fd, buffer + 4, length) != 1) {
        return -1;
    }
    return 4 + static_cast<qsizetype>(length);
}

RecordStream::RecordStream(int outFd, JournalWriter* journal, std::uint32_t id)
    : outFd_(outFd), journal_(journal), id_(id), journalHoldsAll_(journal != nullptr) {
    if (journal_ != nullptr) {
        journal_->Begin(id);
    }
}

void RecordStream::StepStarted(int step) {
    // A step run again (the header reads) is already known to the parent.
    if (step == lastStep_) {
        return;
    }
    lastStep_ = step;
    Add(protocol::EncodeStepStarted(id_, step));
    if (!journalHoldsAll_) {
        Flush();  // before the step can hang or crash
    }
}

void RecordStream::Recorded(const ExtractionEvent& event) {
    Add(protocol::EncodeEvent(id_, event));
}

void RecordStream::Finish() {
    pending_ += protocol::EncodeFileDone(id_);
    Flush();
}

void RecordStream::Add(const QByteArray& frame) {
    pending_ += frame;
    if (journalHoldsAll_ && !journal_->Append(frame)) {
        journalHoldsAll_ = false;
    }
}

void RecordStream::Flush() {
    if (!WriteAll(outFd_, pending_)) {
        _exit(0);  // the parent is gone
    }
    pending_.clear();
}

bool SendReady(int outFd, const QString& note) {
    return WriteAll(outFd, protocol::EncodeReady(note));
}

bool SendRefused(int outFd, const QString& reason) {
    return WriteAll(outFd, protocol::EncodeRefused(reason));
}

HelperArguments ParseHelperArguments(int argc, char** argv) {
    HelperArguments arguments;
    QStringList all;
    for (int i = 1; i < argc; ++i) {
        all << QString::fromUtf8(argv[i]);
    }
    arguments.extraColumns = ExtraColumns::FromArguments(all);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], protocol::kReadersPerFolderOption) == 0) {
            arguments.readersPerFolder = true;
            continue;
        }
        if (std::strcmp(argv[i], kChecksumOnlyArgument) == 0) {
            continue;  // the one option of the extra columns that takes no value
        }
        if (i + 1 >= argc) {
            break;
        }
        const char* const name = argv[i];
        const char* const text = argv[++i];
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end == text || *end != '\0' || errno != 0) {
            continue;
        }
        if (std::strcmp(name, protocol::kJournalFdOption) == 0 && value > STDERR_FILENO &&
            value < INT_MAX) {
            if (arguments.journalFds.size() < protocol::kMostJournals) {
                arguments.journalFds.push_back(static_cast<int>(value));
            }
        } else if (std::strcmp(name, protocol::kMemoryLimitOption) == 0 && value > 0) {
            arguments.memoryLimitBytes = value;
        }
    }
    return arguments;
}

}  // namespace quorvid
