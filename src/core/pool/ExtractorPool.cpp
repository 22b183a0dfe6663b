#include "core/pool/ExtractorPool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

// One file being read and the next ones waiting in the pipe, so that a helper
// never idles while its parent is busy with the window: a repaint of the grid
// takes longer than a helper needs for a small file or two.
constexpr size_t kRequestsPerHelper = 4;
// New helpers in a row that die before they are ready before the pool stops
// trying: the program or its libraries are broken, not a file.
constexpr int kFailedStartsToGiveUp = 3;
// A helper that dies before beginning a file is not the file's fault, unless
// it happens again.
constexpr int kLostStartsToGiveUp = 2;
// A helper loads its libraries before it is ready; on a busy machine that may
// take longer than a short watchdog allows a file.
constexpr std::chrono::milliseconds kStartupAllowance = std::chrono::seconds(10);

bool IsLibraryStep(int step) {
    return step < step::extract::kGetFile;
}

QString SecondsText(std::chrono::milliseconds time) {
    return QString::number(static_cast<double>(time.count()) / 1000.0);
}

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
    return kept;
}

}  // namespace

ExtractorPoolOptions ProgramExtractorOptions(const QString& programFolder) {
    ExtractorPoolOptions options;
    options.program = QDir(programFolder).filePath(QString::fromLatin1(kExtractorProgramName));
    return options;
}

ExtractorPool::ExtractorPool(ExtractorPoolOptions options)
    : options_(std::move(options)), parentPid_(QCoreApplication::applicationPid()) {}

ExtractorPool::~ExtractorPool() {
    KillAll();
}

void ExtractorPool::KillAll() {
    // An idle helper ends with its reader once its requests close, and is
    // counted in this process's children; a busy one is killed.
    while (!helpers_.empty()) {
        Helper& helper = *helpers_.back();
        Bury(helper, helper.sent.empty() ? Ending::CloseRequests : Ending::Kill);
    }
    ClearGraveyard();
}

bool ExtractorPool::Start() {
    if (!QFileInfo(options_.program).isExecutable()) {
        return false;
    }
    const int count =
        options_.helperCount > 0 ? options_.helperCount : std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < count; ++i) {
        StartHelper();
    }
    if (!helpers_.front()->process->waitForStarted()) {
        KillAll();
        return false;
    }
    // A helper that cannot confine itself says so before it reads anything.
    // The wait sleeps between events: the helpers loading their libraries need
    // the processor more than a spinning parent does.
    QTimer allowance;
    allowance.setSingleShot(true);
    allowance.start(std::max(options_.watchdog, kStartupAllowance));
    while (!broken_ && refusal_.isEmpty() &&
           std::none_of(helpers_.begin(), helpers_.end(), [](const auto& h) { return h->ready; }) &&
           allowance.isActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!refusal_.isEmpty()) {
        KillAll();
        return false;
    }
    return true;
}

ExtractorPool::Helper& ExtractorPool::StartHelper() {
    auto helper = std::make_unique<Helper>();
    Helper* const h = helper.get();
    h->process = std::make_unique<QProcess>();
    h->journal = ExtractionJournal::Create();
    h->watchdog = std::make_unique<QTimer>();
    // Looks often enough that a file is given up soon after its time is over.
    h->watchdog->setInterval(std::max(std::chrono::milliseconds(1), options_.watchdog / 8));
    connect(h->watchdog.get(), &QTimer::timeout, this, [this, h] { CheckProgress(*h); });

    QProcess& process = *h->process;
    process.setProgram(options_.program);
    process.setProcessEnvironment(HelperEnvironment());
    // What it prints is read here and passed on clean, never straight to a terminal.
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList arguments = {QString::fromLatin1(protocol::kMemoryLimitOption),
                             QString::number(options_.memoryLimitBytes)};
    const int journalFd = h->journal ? h->journal->fd() : -1;
    if (journalFd >= 0) {
        arguments << QString::fromLatin1(protocol::kJournalFdOption) << QString::number(journalFd);
    }
    process.setArguments(arguments);
    // The helper goes when this process goes, also when it is killed outright.
    const qint64 parent = parentPid_;
    process.setChildProcessModifier([parent, journalFd] {
        // A session of its own: no controlling terminal to open or type into,
        // and no share of the terminal's signals, which reach this process.
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(1);
        }
        if (journalFd >= 0) {
            fcntl(journalFd, F_SETFD, 0);  // this helper's alone
        }
    });
    connect(&process, &QProcess::readyReadStandardOutput, this, [this, h] { ReadFrom(*h); });
    connect(&process, &QProcess::readyReadStandardError, this, [this, h] { ReadDiagnostics(*h); });
    connect(&process, &QProcess::finished, this, [this, h] { HelperFinished(*h); });
    connect(
        &process, &QProcess::errorOccurred, this,
        [this, h](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                HelperFinished(*h);
            }
        },
        Qt::QueuedConnection);
    process.start();
    helpers_.push_back(std::move(helper));
    return *h;
}

ExtractorPool::Ticket ExtractorPool::Submit(const QString& path, bool urgent) {
    ClearGraveyard();
    const Ticket ticket = nextTicket_++;
    jobs_.emplace(ticket, Job{FileExtraction(path), {}});
    if (urgent) {
        queue_.push_front(ticket);
    } else {
        queue_.push_back(ticket);
    }
    Dispatch();
    return ticket;
}

void ExtractorPool::Cancel(Ticket ticket) {
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end()) {
        return;
    }
    const auto queued = std::find(queue_.begin(), queue_.end(), ticket);
    if (job->second.done || queued != queue_.end()) {
        if (queued != queue_.end()) {
            queue_.erase(queued);
        }
        jobs_.erase(job);
    } else {
        job->second.cancelled = true;  // a helper is on it; dropped when it ends
    }
}

std::optional<FileExtraction> ExtractorPool::Take(Ticket ticket, QDeadlineTimer deadline) {
    // Ends the wait for events in time when no helper speaks.
    QTimer wakeUp;
    if (!deadline.isForever()) {
        wakeUp.start(
            std::chrono::ceil<std::chrono::milliseconds>(deadline.remainingTimeAsDuration()));
    }
    while (!broken_ && jobs_.count(ticket) != 0 && !jobs_.at(ticket).done &&
           !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ClearGraveyard();
    }
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end() || !job->second.done) {
        return std::nullopt;
    }
    FileExtraction record = std::move(job->second.record);
    jobs_.erase(job);
    return record;
}

void ExtractorPool::Dispatch() {
    if (broken_) {
        return;
    }
    // One file per helper first, then the second in each pipe, and so on.
    for (size_t depth = 1; depth <= kRequestsPerHelper; ++depth) {
        for (const auto& helper : helpers_) {
            while (helper->sent.size() < depth && !queue_.empty()) {
                const Ticket ticket = queue_.front();
                queue_.pop_front();
                if (jobs_.at(ticket).cancelled) {
                    jobs_.erase(ticket);
                    continue;
                }
                Send(*helper, ticket);
            }
        }
    }
}

void ExtractorPool::Send(Helper& helper, Ticket ticket) {
    if (helper.sent.empty()) {
        RestartWatchdog(helper);
    }
    helper.sent.push_back(ticket);
    const Job& job = jobs_.at(ticket);
    helper.process->write(protocol::EncodeExtract(ticket, job.record.path(),
                                                  job.skipLibrary ? protocol::kSkipLibrary : 0));
}

void ExtractorPool::RestartWatchdog(Helper& helper) {
    helper.sinceProgress.start();
    if (!helper.watchdog->isActive()) {
        helper.watchdog->start();
    }
}

void ExtractorPool::CheckProgress(Helper& helper) {
    if (helper.journal) {
        const std::uint32_t progress = helper.journal->Progress();
        if (progress != helper.progressSeen) {
            helper.progressSeen = progress;
            helper.sinceProgress.start();
            return;
        }
    }
    const auto allowed =
        helper.ready ? options_.watchdog : std::max(options_.watchdog, kStartupAllowance);
    if (helper.sinceProgress.hasExpired(allowed.count())) {
        GiveUp(helper, Breakdown::Silent, {});
    }
}

// A helper that hangs or dies has sent nothing of the file it was on: its
// journal tells how far it got and, unless it broke the protocol, what it found.
void ExtractorPool::TakeJournal(const Helper& helper, Ticket ticket, bool withEvents) {
    if (!helper.journal) {
        return;
    }
    const auto messages = helper.journal->Read(ticket);
    if (!messages) {
        return;  // not begun, or sent step by step through the pipe
    }
    Job& job = jobs_.at(ticket);
    job.attempt.clear();
    job.lastStep = 0;
    for (const protocol::Message& message : *messages) {
        if (message.type == protocol::MessageType::StepStarted) {
            job.lastStep = message.step;
        } else if (withEvents) {
            job.attempt.push_back(message.event);
        }
    }
}

void ExtractorPool::ReadFrom(Helper& helper) {
    const QByteArray bytes = helper.process->readAllStandardOutput();
    if (bytes.isEmpty()) {
        return;
    }
    if (!helper.sent.empty()) {
        Job& job = jobs_.at(helper.sent.front());
        job.bytes += bytes.size();
        if (job.bytes > options_.maxBytesPerFile) {
            GiveUp(helper, Breakdown::Flood, {});
            return;
        }
    }
    helper.reader.Append(bytes);
    while (const std::optional<protocol::Message> message = helper.reader.Next()) {
        const bool first = !helper.ready && helper.sent.empty();
        if (message->type == protocol::MessageType::Ready && !helper.ready) {
            helper.ready = true;
            failedStarts_ = 0;
            if (confinementNote_.isEmpty()) {
                confinementNote_ = WithoutControlCharacters(message->text);
            }
            continue;
        }
        // Only a helper that has not begun may refuse: a reader that says so
        // later would have the files read without any confinement.
        if (message->type == protocol::MessageType::Refused && first) {
            refusal_ = WithoutControlCharacters(message->text);
            broken_ = true;
            return;
        }
        const bool aboutCurrentFile = message->type != protocol::MessageType::Extract &&
                                      !helper.sent.empty() && message->id == helper.sent.front();
        if (!aboutCurrentFile) {
            GiveUp(helper, Breakdown::Garbled, {});
            return;
        }
        Job& job = jobs_.at(message->id);
        switch (message->type) {
            case protocol::MessageType::StepStarted:
                job.lastStep = message->step;
                break;
            case protocol::MessageType::Event:
                job.attempt.push_back(message->event);
                break;
            case protocol::MessageType::FileDone:
                KeepAttempt(job);
                helper.sent.pop_front();
                if (job.cancelled) {
                    jobs_.erase(message->id);
                } else {
                    job.done = true;
                }
                break;
            default:
                break;
        }
    }
    if (helper.reader.broken()) {
        GiveUp(helper, Breakdown::Garbled, {});
        return;
    }
    if (helper.sent.empty()) {
        helper.watchdog->stop();
    } else {
        RestartWatchdog(helper);
    }
    Dispatch();
}

void ExtractorPool::ReadDiagnostics(Helper& helper) {
    for (const QString& line : helper.diagnostics.Add(helper.process->readAllStandardError())) {
        Diagnose(line);
    }
}

void ExtractorPool::Diagnose(const QString& line) const {
    if (options_.diagnostics) {
        options_.diagnostics(line);
        return;
    }
    const QByteArray text = "quorvid-extractor: " + line.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
}

void ExtractorPool::HelperFinished(Helper& helper) {
    ReadFrom(helper);
    ReadDiagnostics(helper);
    for (const QString& line : helper.diagnostics.Finish()) {
        Diagnose(line);
    }
    if (!refusal_.isEmpty()) {
        return;  // no other helper would do better
    }
    const auto alive = std::find_if(helpers_.begin(), helpers_.end(),
                                    [&](const auto& h) { return h.get() == &helper; });
    if (alive == helpers_.end()) {
        return;  // already given up while reading its last words
    }
    const QProcess& process = *helper.process;
    if (process.error() != QProcess::FailedToStart &&
        process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == protocol::kOutOfMemoryExitCode) {
        GiveUp(helper, Breakdown::OutOfMemory, {});
        return;
    }
    QString how;
    if (process.error() == QProcess::FailedToStart) {
        how = QStringLiteral("it could not be started");
    } else if (process.exitStatus() == QProcess::CrashExit) {
        how = QStringLiteral("signal %1").arg(process.exitCode());
        if (process.exitCode() == SIGSYS) {
            how += QStringLiteral(", a system call its sandbox refuses");
        }
    } else {
        how = QStringLiteral("exit code %1").arg(process.exitCode());
    }
    GiveUp(helper, Breakdown::Stopped, how);
}

void ExtractorPool::GiveUp(Helper& helper, Breakdown breakdown, const QString& detail) {
    const bool keptProtocol = breakdown != Breakdown::Flood && breakdown != Breakdown::Garbled;
    if (!helper.sent.empty()) {
        TakeJournal(helper, helper.sent.front(), keptProtocol);
    }
    const std::deque<Ticket> sent = std::move(helper.sent);
    helper.sent.clear();
    const bool wasReady = helper.ready;
    Bury(helper, Ending::Kill);

    // The files it had not begun go back to the front of the queue, in order.
    for (auto ticket = sent.rbegin(); ticket != sent.rend(); ++ticket) {
        if (ticket + 1 != sent.rend()) {
            queue_.push_front(*ticket);
        }
    }
    if (!sent.empty()) {
        const Ticket current = sent.front();
        Job& job = jobs_.at(current);
        if (!keptProtocol) {
            job.attempt.clear();
        }
        KeepAttempt(job);
        if (job.lastStep == 0 && ++job.lostStarts < kLostStartsToGiveUp) {
            queue_.push_front(current);
        } else {
            const int step = job.lastStep != 0 ? job.lastStep
                             : job.skipLibrary ? step::extract::kGetFile
                                               : step::extract::kNewHandle;
            const bool library = IsLibraryStep(step);
            QString description;
            switch (breakdown) {
                case Breakdown::Silent:
                    description =
                        (library ? QStringLiteral("The metadata library did not finish reading "
                                                  "this file within %1 seconds.")
                                 : QStringLiteral("The file facts and details of this file were "
                                                  "not read within %1 seconds."))
                            .arg(SecondsText(options_.watchdog));
                    break;
                case Breakdown::Stopped:
                    description =
                        (library ? QStringLiteral("The metadata library stopped while reading "
                                                  "this file (%1).")
                                 : QStringLiteral("The extraction helper stopped while reading "
                                                  "the file facts and details of this file (%1)."))
                            .arg(detail);
                    break;
                case Breakdown::OutOfMemory:
                    description =
                        library
                            ? QStringLiteral(
                                  "The metadata library ran out of memory while reading this file.")
                            : QStringLiteral(
                                  "The extraction helper ran out of memory while "
                                  "reading the file facts and details of this file.");
                    break;
                case Breakdown::Flood:
                    description =
                        QStringLiteral("The extraction helper sent more than %1 MB for this file.")
                            .arg(options_.maxBytesPerFile / (1024 * 1024));
                    break;
                case Breakdown::Garbled:
                    description = QStringLiteral(
                        "The extraction helper sent data that cannot be read for this file.");
                    break;
            }
            FailJob(current, step, description);
        }
    }

    if (!wasReady && ++failedStarts_ >= kFailedStartsToGiveUp) {
        broken_ = true;
        return;
    }
    StartHelper();
    Dispatch();
}

void ExtractorPool::FailJob(Ticket ticket, int step, const QString& description) {
    Job& job = jobs_.at(ticket);
    if (job.cancelled) {
        jobs_.erase(ticket);
        return;
    }
    job.record.Fail(SourceOfStep(step), step, description);
    if (!job.skipLibrary && IsLibraryStep(step)) {
        // The row still gets the file facts and details, read without the library.
        job.skipLibrary = true;
        job.lastStep = 0;
        job.lostStarts = 0;
        job.bytes = 0;
        queue_.push_front(ticket);
    } else {
        job.done = true;
    }
}

void ExtractorPool::KeepAttempt(Job& job) {
    for (ExtractionEvent& event : job.attempt) {
        job.record.Record(std::move(event));
    }
    job.attempt.clear();
}

// Out of the pool: nothing it does reaches the pool any more. Killed, it ends at
// once; with its requests closed, once its reader ends. ClearGraveyard waits.
void ExtractorPool::Bury(Helper& helper, Ending ending) {
    helper.watchdog->stop();
    helper.process->disconnect(this);
    helper.watchdog->disconnect(this);
    if (ending == Ending::Kill) {
        helper.process->kill();
    } else {
        helper.process->closeWriteChannel();
    }
    const auto found = std::find_if(helpers_.begin(), helpers_.end(),
                                    [&](const auto& h) { return h.get() == &helper; });
    if (found != helpers_.end()) {
        graveyard_.push_back(std::move(*found));
        helpers_.erase(found);
    }
}

// A helper that lingers is killed: none outlives its pool.
void ExtractorPool::ClearGraveyard() {
    for (const auto& helper : graveyard_) {
        if (!helper->process->waitForFinished(1000)) {
            helper->process->kill();
            helper->process->waitForFinished(2000);
        }
    }
    graveyard_.clear();
}

}  // namespace quorvid
