#include "core/pool/HelperProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>

#include "core/shell/texts/TerminalText.h"

namespace quorvid {

namespace {

// A helper gets what decides how it reads and shows a file (locale, time zone,
// where the MIME database is), none of the rest: no tokens, no sockets of
// agents, nothing a taken-over reader could hand back as a cell.
QProcessEnvironment HelperEnvironment() {
    const QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment kept;
    for (const QString& name : all.keys()) {
        const bool wanted = name == QLatin1String("LANG") || name == QLatin1String("LANGUAGE") ||
                            name.startsWith(QLatin1String("LC_")) || name == QLatin1String("TZ") ||
                            name == QLatin1String("HOME") ||
                            name == QLatin1String("XDG_DATA_HOME") ||
                            name == QLatin1String("XDG_DATA_DIRS");
        if (wanted) {
            kept.insert(name, all.value(name));
        }
    }
    // Each file's reader is a fresh fork of the helper: what the helper does
    // once, no reader does again. Symbols are bound as the helper loads its
    // libraries rather than in every reader, and the readers' allocations
    // come in huge pages where the system gives them on request, a page
    // fault for 2 MB instead of one for 4 kB.
    kept.insert(QStringLiteral("LD_BIND_NOW"), QStringLiteral("1"));
    kept.insert(QStringLiteral("GLIBC_TUNABLES"), QStringLiteral("glibc.malloc.hugetlb=1"));
    return kept;
}

QStringList HelperArguments(const ExtractorPoolOptions& options,
                            const std::vector<int>& journalFds) {
    QStringList arguments = {QString::fromLatin1(protocol::kMemoryLimitOption),
                             QString::number(options.memoryLimitBytes)};
    for (const int fd : journalFds) {
        arguments << QString::fromLatin1(protocol::kJournalFdOption) << QString::number(fd);
    }
    if (options.readersPerFolder) {
        arguments << QString::fromLatin1(protocol::kReadersPerFolderOption);
    }
    return arguments + options.extraColumns.ToArguments();
}

}  // namespace

HelperProcess::HelperProcess(const ExtractorPoolOptions& options, qint64 parentPid, int readers)
    : options_(options), process_(std::make_unique<QProcess>()) {
    std::vector<int> journalFds;
    for (int slot = 0; slot < readers; ++slot) {
        journals_.push_back(ExtractionJournal::Create());
        if (journals_.back()) {
            journalFds.push_back(journals_.back()->fd());
        }
    }
    // Without a journal for each slot, it runs one reader at a time.
    if (static_cast<int>(journalFds.size()) != readers) {
        journals_.resize(1);
        if (journalFds.size() > 1) {
            journalFds.erase(journalFds.begin() + 1, journalFds.end());
        }
    }
    QProcess& process = *process_;
    process.setProgram(options_.program);
    process.setProcessEnvironment(HelperEnvironment());
    // What it prints is read here and passed on clean, never straight to a terminal.
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setArguments(HelperArguments(options_, journalFds));
    // The helper goes when this process goes, also when it is killed outright.
    process.setChildProcessModifier([parentPid, journalFds] {
        // A session of its own: no controlling terminal to open or type into,
        // and no share of the terminal's signals, which reach this process.
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parentPid) {
            _exit(1);
        }
        for (const int fd : journalFds) {
            fcntl(fd, F_SETFD, 0);  // this helper's alone
        }
    });
    connect(&process, &QProcess::readyReadStandardOutput, this, &HelperProcess::ReadRecords);
    connect(&process, &QProcess::readyReadStandardError, this, &HelperProcess::ReadDiagnostics);
    connect(&process, &QProcess::finished, this, &HelperProcess::Finished);
    connect(
        &process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                Finished();
            }
        },
        Qt::QueuedConnection);
    process.start();
}

HelperProcess::~HelperProcess() {
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

bool HelperProcess::WaitForStarted() {
    return process_->waitForStarted();
}

std::optional<protocol::Message> HelperProcess::NextMessage() {
    return ready_ ? reader_.Next() : std::nullopt;
}

void HelperProcess::Send(std::uint32_t id, const QString& path, std::uint8_t flags, int slot) {
    requested_ = true;
    process_->write(protocol::EncodeExtract(id, path, flags, static_cast<std::uint8_t>(slot)));
}

void HelperProcess::Abandon(std::uint32_t id) {
    process_->write(protocol::EncodeAbandon(id));
}

const ExtractionJournal* HelperProcess::journal(int slot) const {
    return slot < static_cast<int>(journals_.size()) ? journals_[static_cast<size_t>(slot)].get()
                                                     : nullptr;
}

HelperFailure HelperProcess::FailureOf(protocol::ReaderEnd end, std::uint32_t code) {
    switch (end) {
        case protocol::ReaderEnd::Signaled: {
            QString how = QStringLiteral("signal %1").arg(code);
            if (code == SIGSYS) {
                how += QStringLiteral(", a system call its sandbox refuses");
            }
            return {HelperBreakdown::Stopped, how};
        }
        case protocol::ReaderEnd::Misbehaved:
            return {HelperBreakdown::Misbehaved,
                    QStringLiteral("frames of another file, or frames after its end")};
        case protocol::ReaderEnd::Abandoned:
            return {HelperBreakdown::Silent, {}};
        case protocol::ReaderEnd::Exited:
            break;
    }
    if (code == static_cast<std::uint32_t>(protocol::kOutOfMemoryExitCode)) {
        return {HelperBreakdown::OutOfMemory, {}};
    }
    return {HelperBreakdown::Stopped, QStringLiteral("exit code %1").arg(code)};
}

void HelperProcess::Kill() {
    process_->kill();
}

void HelperProcess::CloseRequests() {
    process_->closeWriteChannel();
}

void HelperProcess::Reap() {
    process_->disconnect(this);
    if (!process_->waitForFinished(1000)) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

HelperFailure HelperProcess::HowItEnded() const {
    const QProcess& process = *process_;
    if (process.error() == QProcess::FailedToStart) {
        return {HelperBreakdown::Stopped, QStringLiteral("it could not be started")};
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        return FailureOf(protocol::ReaderEnd::Signaled,
                         static_cast<std::uint32_t>(process.exitCode()));
    }
    return FailureOf(protocol::ReaderEnd::Exited, static_cast<std::uint32_t>(process.exitCode()));
}

void HelperProcess::ReadRecords() {
    const QByteArray bytes = process_->readAllStandardOutput();
    if (bytes.isEmpty()) {
        return;
    }
    reader_.Append(bytes);
    if (!ready_) {
        TakeHandshake();
    }
    if (ready_) {
        emit messagesArrived(bytes.size());
    }
}

// Only a helper that has not been sent a file may refuse: one that says so
// later would have had files read without any confinement.
void HelperProcess::TakeHandshake() {
    const std::optional<protocol::Message> first = reader_.Next();
    if (!first) {
        if (reader_.broken()) {
            emit handshakeBroken();
        }
        return;
    }
    if (first->type == protocol::MessageType::Ready) {
        ready_ = true;
        emit readied(TerminalText(first->text));
    } else if (first->type == protocol::MessageType::Refused && !requested_) {
        emit refused(TerminalText(first->text));
    } else {
        emit handshakeBroken();
    }
}

void HelperProcess::ReadDiagnostics() {
    for (const QString& line : diagnostics_.Add(process_->readAllStandardError())) {
        Diagnose(line);
    }
}

void HelperProcess::Diagnose(const QString& line) const {
    if (options_.diagnostics) {
        options_.diagnostics(line);
        return;
    }
    const QByteArray text = "quorvid-extractor: " + line.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
}

void HelperProcess::Finished() {
    ReadRecords();
    ReadDiagnostics();
    for (const QString& line : diagnostics_.Finish()) {
        Diagnose(line);
    }
    emit ended();
}

}  // namespace quorvid
