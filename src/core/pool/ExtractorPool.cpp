#include "core/pool/ExtractorPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "core/pool/HelperProcess.h"
#include "core/pool/ProgressWatchdog.h"

namespace quorvid {

namespace {

// New helpers in a row that die before they are ready before the pool stops
// trying: the program or its libraries are broken, not a file.
constexpr int kFailedStartsToGiveUp = 3;
// A helper that dies before beginning a file is not the file's fault, unless
// it happens again.
constexpr int kLostStartsToGiveUp = 2;

std::uint8_t RequestFlags(FileExtractor::LibraryUse libraryUse) {
    return libraryUse == FileExtractor::LibraryUse::Skip ? protocol::kSkipLibrary : 0;
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

bool ExtractorPool::Start() {
    if (!QFileInfo(options_.program).isExecutable()) {
        return false;
    }
    const int count =
        options_.helperCount > 0 ? options_.helperCount : std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < count; ++i) {
        StartHelper();
    }
    if (!helpers_.front()->process->WaitForStarted()) {
        KillAll();
        return false;
    }
    // A helper that cannot confine itself says so before it reads anything.
    // The wait sleeps between events: the helpers loading their libraries need
    // the processor more than a spinning parent does.
    QTimer allowance;
    allowance.setSingleShot(true);
    allowance.start(std::max(options_.watchdog, kHelperStartupAllowance));
    const auto anyReady = [this] {
        return std::any_of(helpers_.begin(), helpers_.end(),
                           [](const auto& helper) { return helper->process->isReady(); });
    };
    while (!broken_ && refusal_.isEmpty() && !anyReady() && allowance.isActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!refusal_.isEmpty()) {
        KillAll();
        return false;
    }
    return true;
}

void ExtractorPool::StartHelper() {
    auto helper = std::make_unique<Helper>();
    Helper* const h = helper.get();
    h->process = std::make_unique<HelperProcess>(options_, parentPid_);
    h->watchdog = std::make_unique<ProgressWatchdog>(*h->process, options_.watchdog,
                                                     options_.deadlineInWatchdogs);
    HelperProcess* const process = h->process.get();
    connect(process, &HelperProcess::readied, this, [this, h](const QString& note) {
        failedStarts_ = 0;
        if (confinementNote_.isEmpty()) {
            confinementNote_ = note;
        }
        // Its first file's time starts once its libraries are loaded.
        if (scheduler_.Holds(h->process.get())) {
            h->watchdog->FileBegan();
        }
    });
    connect(process, &HelperProcess::refused, this, [this](const QString& reason) {
        refusal_ = reason;
        broken_ = true;
    });
    connect(process, &HelperProcess::messagesArrived, this,
            [this, h](qint64 bytes) { ReadFrom(*h, bytes); });
    connect(process, &HelperProcess::handshakeBroken, this, [this, h] {
        GiveUp(*h, {HelperBreakdown::Garbled, {}});
    });
    connect(process, &HelperProcess::ended, this, [this, h] { HelperEnded(*h); });
    connect(h->watchdog.get(), &ProgressWatchdog::expired, this,
            [this, h](HelperBreakdown breakdown) {
                GiveUp(*h, {breakdown, {}});
            });
    scheduler_.AddHelper(process);
    helpers_.push_back(std::move(helper));
}

ExtractorPool::Ticket ExtractorPool::Submit(const QString& path, bool urgent) {
    ClearGraveyard();
    const Ticket ticket = nextTicket_++;
    jobs_.emplace(ticket,
                  Job{FileExtraction(path), FileAttempt(FileExtractor::LibraryUse::Read, path)});
    scheduler_.Enqueue(ticket, urgent);
    Dispatch();
    return ticket;
}

void ExtractorPool::Cancel(Ticket ticket) {
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end()) {
        return;
    }
    const bool queued = scheduler_.Unqueue(ticket);
    if (job->second.done || queued) {
        Forget(ticket);
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
    waitingCharacters_ -= record.TextSize();
    jobs_.erase(job);
    return record;
}

void ExtractorPool::Dispatch() {
    if (broken_) {
        return;
    }
    const auto wanted = [this](Ticket ticket) {
        if (jobs_.at(ticket).cancelled) {
            jobs_.erase(ticket);
            return false;
        }
        return true;
    };
    for (const ReadScheduler::Assignment& assignment : scheduler_.Assign(wanted)) {
        Send(*Find(assignment.helper), assignment.ticket);
    }
}

void ExtractorPool::Send(Helper& helper, Ticket ticket) {
    if (scheduler_.Current(helper.process.get()) == ticket) {
        helper.watchdog->FileBegan();
    }
    const Job& job = jobs_.at(ticket);
    helper.process->Send(ticket, job.record.path(), RequestFlags(job.attempt.libraryUse()));
}

void ExtractorPool::ReadFrom(Helper& helper, qint64 bytes) {
    HelperProcess* const key = helper.process.get();
    if (const auto current = scheduler_.Current(key)) {
        if (!jobs_.at(*current).attempt.Charge(bytes, options_.maxBytesPerFile)) {
            GiveUp(helper, {HelperBreakdown::Flood, {}});
            return;
        }
    }
    while (const std::optional<protocol::Message> message = helper.process->NextMessage()) {
        const auto current = scheduler_.Current(key);
        const FileAttempt::Outcome outcome =
            current ? jobs_.at(*current).attempt.Apply(*message, *current)
                    : FileAttempt::Outcome::Broken;
        if (outcome == FileAttempt::Outcome::Broken) {
            GiveUp(helper, {HelperBreakdown::Garbled, {}});
            return;
        }
        if (outcome == FileAttempt::Outcome::Unbelievable) {
            GiveUp(helper, {HelperBreakdown::Misbehaved, jobs_.at(*current).attempt.doubt()});
            return;
        }
        if (outcome == FileAttempt::Outcome::FileDone) {
            FileDone(helper, *current);
        }
    }
    if (helper.process->garbled()) {
        GiveUp(helper, {HelperBreakdown::Garbled, {}});
        return;
    }
    if (scheduler_.Holds(key)) {
        helper.watchdog->Progressed();
    } else {
        helper.watchdog->Stop();
    }
    Dispatch();
}

void ExtractorPool::FileDone(Helper& helper, Ticket ticket) {
    Job& job = jobs_.at(ticket);
    KeepAttempt(job);
    scheduler_.Finished(helper.process.get());
    if (job.cancelled) {
        jobs_.erase(ticket);
    } else {
        MarkDone(job);
    }
    if (scheduler_.Holds(helper.process.get())) {
        helper.watchdog->FileBegan();  // the next file's deadline starts now
    }
}

void ExtractorPool::HelperEnded(Helper& helper) {
    if (!refusal_.isEmpty() || !IsAlive(helper)) {
        return;  // no other helper would do better, or it was given up already
    }
    GiveUp(helper, helper.process->HowItEnded());
}

void ExtractorPool::GiveUp(Helper& helper, HelperFailure failure) {
    const bool keptProtocol = failure.breakdown != HelperBreakdown::Flood &&
                              failure.breakdown != HelperBreakdown::Garbled;
    // What it sent before it misbehaved is believed, and its journal only for
    // how far it got.
    const bool journalEvents = keptProtocol && failure.breakdown != HelperBreakdown::Misbehaved;
    const auto current = scheduler_.Current(helper.process.get());
    if (current && !TakeJournal(helper, *current, journalEvents) &&
        failure.breakdown != HelperBreakdown::Misbehaved) {
        failure = {HelperBreakdown::Misbehaved, jobs_.at(*current).attempt.doubt()};
    }
    std::deque<Ticket> held = scheduler_.RemoveHelper(helper.process.get());
    const bool wasReady = helper.process->isReady();
    Bury(helper, Ending::Kill);

    // The files it had not begun go back to the front of the queue, in order.
    if (!held.empty()) {
        const Ticket current = held.front();
        held.pop_front();
        scheduler_.ReturnToFront(held);
        EndAttempt(current, failure, keptProtocol);
    }
    if (!wasReady && ++failedStarts_ >= kFailedStartsToGiveUp) {
        broken_ = true;
        return;
    }
    StartHelper();
    Dispatch();
}

// A helper that hangs or dies has sent nothing of the file it was on: its
// journal tells how far it got and, unless it broke the protocol, what it found.
// False when the journal holds what no real extraction makes.
bool ExtractorPool::TakeJournal(const Helper& helper, Ticket ticket, bool withEvents) {
    const ExtractionJournal* journal = helper.process->journal();
    if (journal == nullptr) {
        return true;
    }
    const auto messages = journal->Read(ticket);
    return !messages || jobs_.at(ticket).attempt.TakeJournal(*messages, withEvents);
}

void ExtractorPool::EndAttempt(Ticket ticket, const HelperFailure& failure, bool keptProtocol) {
    Job& job = jobs_.at(ticket);
    if (!keptProtocol) {
        job.attempt.ForgetEvents();
    } else if (failure.breakdown == HelperBreakdown::Misbehaved &&
               job.attempt.libraryUse() == FileExtractor::LibraryUse::Read) {
        // The file facts and details are read again, without the library.
        job.attempt.ForgetEventsPast(ExtractionSource::Library);
    }
    KeepAttempt(job);
    if (!job.attempt.begun() && ++job.lostStarts < kLostStartsToGiveUp) {
        scheduler_.ReturnToFront({ticket});
        return;
    }
    FailJob(ticket, failure);
}

void ExtractorPool::FailJob(Ticket ticket, const HelperFailure& failure) {
    Job& job = jobs_.at(ticket);
    if (job.cancelled) {
        jobs_.erase(ticket);
        return;
    }
    const FileAttempt& attempt = job.attempt;
    const QString description = DescribeHelperFailure(failure, attempt.source(), options_);
    const bool misbehaved = failure.breakdown == HelperBreakdown::Misbehaved;
    if (misbehaved) {
        // Said even where the source failed before: the earlier failure may
        // have been the taken-over library's own words.
        job.record.Record({ExtractionEvent::Kind::Failure, attempt.step(), 0, {}, description});
    } else {
        job.record.Fail(attempt.source(), attempt.step(), description);
    }
    // A library that misbehaved may have forged the later steps too.
    if (attempt.libraryUse() == FileExtractor::LibraryUse::Read &&
        (attempt.source() == ExtractionSource::Library || misbehaved)) {
        // The row still gets the file facts and details, read without the library.
        job.attempt = FileAttempt(FileExtractor::LibraryUse::Skip, job.record.path());
        job.lostStarts = 0;
        scheduler_.Enqueue(ticket, true);
    } else {
        MarkDone(job);
    }
}

void ExtractorPool::MarkDone(Job& job) {
    job.done = true;
    waitingCharacters_ += job.record.TextSize();
}

void ExtractorPool::Forget(Ticket ticket) {
    const auto job = jobs_.find(ticket);
    if (job->second.done) {
        waitingCharacters_ -= job->second.record.TextSize();
    }
    jobs_.erase(job);
}

void ExtractorPool::KeepAttempt(Job& job) {
    for (ExtractionEvent& event : job.attempt.TakeEvents()) {
        job.record.Record(std::move(event));
    }
}

// Out of the pool: nothing it does reaches the pool any more. Killed, it ends at
// once; with its requests closed, once its reader ends. ClearGraveyard waits.
void ExtractorPool::Bury(Helper& helper, Ending ending) {
    helper.watchdog->Stop();
    helper.process->disconnect(this);
    helper.watchdog->disconnect(this);
    scheduler_.RemoveHelper(helper.process.get());
    if (ending == Ending::Kill) {
        helper.process->Kill();
    } else {
        helper.process->CloseRequests();
    }
    const auto found = std::find_if(helpers_.begin(), helpers_.end(),
                                    [&](const auto& h) { return h.get() == &helper; });
    if (found != helpers_.end()) {
        graveyard_.push_back(std::move(*found));
        helpers_.erase(found);
    }
}

void ExtractorPool::KillAll() {
    // An idle helper ends with its reader once its requests close, and is
    // counted in this process's children; a busy one is killed.
    while (!helpers_.empty()) {
        Helper& helper = *helpers_.back();
        Bury(helper, scheduler_.Holds(helper.process.get()) ? Ending::Kill : Ending::CloseRequests);
    }
    ClearGraveyard();
}

// A helper that lingers is killed: none outlives its pool.
void ExtractorPool::ClearGraveyard() {
    for (const auto& helper : graveyard_) {
        helper->process->Reap();
    }
    graveyard_.clear();
}

ExtractorPool::Helper* ExtractorPool::Find(ReadScheduler::HelperKey key) {
    for (const auto& helper : helpers_) {
        if (helper->process.get() == key) {
            return helper.get();
        }
    }
    return nullptr;
}

bool ExtractorPool::IsAlive(const Helper& helper) const {
    return std::any_of(helpers_.begin(), helpers_.end(),
                       [&](const auto& h) { return h.get() == &helper; });
}

}  // namespace quorvid
