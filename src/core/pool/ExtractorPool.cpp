#include "core/pool/ExtractorPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "core/pool/ExtractorProtocol.h"
#include "core/pool/HelperProcess.h"
#include "core/pool/ProgressWatchdog.h"

namespace quorvid {

namespace {

// New helpers in a row that die before they are ready before the pool stops
// trying: the program or its libraries are broken, not a file.
constexpr int kFailedStartsToGiveUp = 3;
// A reader that ends before beginning a file is not the file's fault, unless
// it happens again.
constexpr int kLostStartsToGiveUp = 2;
// Files of a share or a disk read into the cache ahead of its readers.
constexpr int kFilesToReadAhead = 4;

std::uint8_t RequestFlags(FileExtractor::LibraryUse libraryUse) {
    return libraryUse == FileExtractor::LibraryUse::Skip ? protocol::kSkipLibrary : 0;
}

bool KeepsProtocol(HelperBreakdown breakdown) {
    return breakdown != HelperBreakdown::Flood && breakdown != HelperBreakdown::Garbled;
}

bool IsTimeout(HelperBreakdown breakdown) {
    return breakdown == HelperBreakdown::Silent || breakdown == HelperBreakdown::Overdue;
}

}  // namespace

ExtractorPoolOptions ProgramExtractorOptions(const QString& programFolder) {
    ExtractorPoolOptions options;
    options.program = QDir(programFolder).filePath(QString::fromLatin1(kExtractorProgramName));
    return options;
}

ExtractorPool::ExtractorPool(ExtractorPoolOptions options)
    : options_(std::move(options)), parentPid_(QCoreApplication::applicationPid()) {
    if (options_.readersPerFolder) {
        options_.readersPerHelper = 1;
    }
    options_.readersPerHelper = std::clamp(options_.readersPerHelper, 1, protocol::kMostJournals);
    clock_.start();
}

ExtractorPool::~ExtractorPool() {
    KillAll();
}

int ExtractorPool::capacity() const {
    const int helpers =
        options_.helperCount > 0 ? options_.helperCount : std::max(1, QThread::idealThreadCount());
    return helpers * options_.readersPerHelper;
}

bool ExtractorPool::Start() {
    if (!QFileInfo(options_.program).isExecutable()) {
        return false;
    }
    concurrency_ =
        std::make_unique<StorageConcurrency>(std::max(1, QThread::idealThreadCount()), capacity());
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
    h->process = std::make_unique<HelperProcess>(options_, parentPid_, options_.readersPerHelper);
    h->abandonAnswer = std::make_unique<QTimer>();
    h->abandonAnswer->setSingleShot(true);
    // A helper answers at once; one that does not is stuck itself.
    h->abandonAnswer->setInterval(std::max(std::chrono::milliseconds(1000), options_.watchdog / 4));
    HelperProcess* const process = h->process.get();
    connect(process, &HelperProcess::readied, this, [this, h](const QString& note) {
        failedStarts_ = 0;
        if (confinementNote_.isEmpty()) {
            confinementNote_ = note;
        }
        // The time of the files it holds starts once its libraries are loaded.
        for (const Ticket ticket : scheduler_.InFlightOn(h->process.get())) {
            jobs_.at(ticket).watchdog->FileBegan();
        }
    });
    connect(process, &HelperProcess::refused, this, [this](const QString& reason) {
        refusal_ = reason;
        broken_ = true;
    });
    connect(process, &HelperProcess::messagesArrived, this, [this, h] { ReadFrom(*h); });
    connect(process, &HelperProcess::handshakeBroken, this, [this, h] {
        GiveUp(*h, {HelperBreakdown::Garbled, {}});
    });
    connect(process, &HelperProcess::ended, this, [this, h] { HelperEnded(*h); });
    connect(h->abandonAnswer.get(), &QTimer::timeout, this, [this, h] { GiveUpStuck(*h); });
    scheduler_.AddHelper(process, process->slotCount());
    helpers_.push_back(std::move(helper));
}

ExtractorPool::Ticket ExtractorPool::Submit(const QString& path, bool urgent) {
    ClearGraveyard();
    const Ticket ticket = nextTicket_++;
    const Storage storage = storageMap_.StorageOf(path);
    storages_.insert(storage.device, storage);
    jobs_.emplace(ticket, Job(path, storage.device, &options_.extraColumns));
    if (concurrency_ && !concurrency_->Answering(storage.device)) {
        FailUnanswered(ticket);
        return ticket;
    }
    scheduler_.Enqueue(ticket, storage.device, urgent);
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
        job->second.cancelled = true;  // a reader is on it; dropped when it ends
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

QString ExtractorPool::ReadingSaid() const {
    if (options_.filesAtOnce > 0) {
        return StorageConcurrency::FilesAtOnce(options_.filesAtOnce);
    }
    return concurrency_ ? concurrency_->Said() : QString();
}

int ExtractorPool::LimitOf(const QString& device) {
    if (options_.filesAtOnce > 0) {
        return options_.filesAtOnce;
    }
    return concurrency_->Limit(storages_.value(device));
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
    const auto limit = [this](const QString& device) { return LimitOf(device); };
    QSet<QString> begun;
    for (const ReadScheduler::Assignment& assignment : scheduler_.Assign(wanted, limit)) {
        begun.insert(jobs_.at(assignment.ticket).storage);
        Begin(assignment.ticket, assignment.place);
    }
    for (const QString& device : begun) {
        PrefetchNext(device);
    }
}

// The next files of a share or a disk are read into the cache, one after
// another, while the readers parse: a single head streams instead of seeking
// between the readers, and reading overlaps parsing.
void ExtractorPool::PrefetchNext(const QString& device) {
    const Storage::Kind kind = storages_.value(device).kind;
    if (kind != Storage::Kind::SpinningDisk && kind != Storage::Kind::Network) {
        return;
    }
    for (const Ticket ticket : scheduler_.QueuedOf(device, kFilesToReadAhead)) {
        prefetch_.Want(jobs_.at(ticket).record.path());
    }
}

void ExtractorPool::Begin(Ticket ticket, const ReadScheduler::Place& place) {
    Helper* helper = Find(place.helper);
    Job& job = jobs_.at(ticket);
    job.abandonedFor.reset();
    job.watchdog = std::make_unique<ProgressWatchdog>(
        *helper->process, place.slot, options_.watchdog, options_.deadlineInWatchdogs);
    connect(job.watchdog.get(), &ProgressWatchdog::expired, this,
            [this, ticket](HelperBreakdown breakdown) {
                Abandon(ticket, {breakdown, {}});
            });
    job.watchdog->FileBegan();
    helper->process->Send(ticket, job.record.path(), RequestFlags(job.attempt.libraryUse()),
                          place.slot);
}

void ExtractorPool::ReadFrom(Helper& helper) {
    while (const std::optional<protocol::Message> message = helper.process->NextMessage()) {
        if (!Decode(helper, *message)) {
            GiveUp(helper, {HelperBreakdown::Garbled, {}});
            return;
        }
        if (!IsAlive(helper)) {
            return;
        }
    }
    if (helper.process->garbled()) {
        GiveUp(helper, {HelperBreakdown::Garbled, {}});
        return;
    }
    Dispatch();
}

// One message of a helper, about a file one of its readers reads; false when
// it is about none, which no helper that keeps to the protocol sends.
bool ExtractorPool::Decode(Helper& helper, const protocol::Message& message) {
    const Ticket ticket = message.id;
    if (!OnHelper(helper, ticket)) {
        return false;
    }
    Job& job = jobs_.at(ticket);
    if (message.type == protocol::MessageType::ReaderEnded) {
        ReaderEnded(helper, ticket,
                    job.abandonedFor.value_or(HelperProcess::FailureOf(message.end, message.code)));
        return true;
    }
    if (job.abandonedFor) {
        return true;  // what it sent before it was ended is no longer read
    }
    if (!job.attempt.Charge(message.frameBytes, options_.maxBytesPerFile)) {
        Abandon(ticket, {HelperBreakdown::Flood, {}});
        return true;
    }
    switch (job.attempt.Apply(message, ticket)) {
        case FileAttempt::Outcome::Broken:
            return false;
        case FileAttempt::Outcome::Unbelievable:
            Abandon(ticket, {HelperBreakdown::Misbehaved, job.attempt.doubt()});
            return true;
        case FileAttempt::Outcome::FileDone:
            FileDone(ticket);
            return true;
        case FileAttempt::Outcome::Continues:
            job.watchdog->Progressed();
            return true;
    }
    return true;
}

void ExtractorPool::FileDone(Ticket ticket) {
    Job& job = jobs_.at(ticket);
    KeepAttempt(job);
    scheduler_.Finished(ticket);
    job.watchdog.reset();
    concurrency_->Completed(job.storage, static_cast<double>(clock_.nsecsElapsed()) / 1e9);
    if (job.cancelled) {
        jobs_.erase(ticket);
    } else {
        MarkDone(job);
    }
}

// Asks the helper to end the file's reader; the file ends once it has.
void ExtractorPool::Abandon(Ticket ticket, const HelperFailure& failure) {
    Job& job = jobs_.at(ticket);
    const auto place = scheduler_.PlaceOf(ticket);
    if (job.abandonedFor || !place) {
        return;
    }
    job.abandonedFor = failure;
    job.watchdog->Stop();
    Helper* helper = Find(place->helper);
    helper->process->Abandon(ticket);
    if (!helper->abandonAnswer->isActive()) {
        helper->abandonAnswer->start();
    }
}

void ExtractorPool::ReaderEnded(Helper& helper, Ticket ticket, HelperFailure failure) {
    Job& job = jobs_.at(ticket);
    const int slot = scheduler_.PlaceOf(ticket)->slot;
    const bool keptProtocol = KeepsProtocol(failure.breakdown);
    // What it sent before it misbehaved is believed, and its journal only for
    // how far it got.
    const bool journalEvents = keptProtocol && failure.breakdown != HelperBreakdown::Misbehaved;
    if (!TakeJournal(helper, slot, ticket, journalEvents) &&
        failure.breakdown != HelperBreakdown::Misbehaved) {
        failure = {HelperBreakdown::Misbehaved, job.attempt.doubt()};
    }
    scheduler_.Finished(ticket);
    job.watchdog.reset();
    const bool anyAbandoned = std::any_of(jobs_.begin(), jobs_.end(), [&](const auto& entry) {
        return entry.second.abandonedFor && OnHelper(helper, entry.first) && entry.first != ticket;
    });
    if (!anyAbandoned) {
        helper.abandonAnswer->stop();
    }
    const QString device = job.storage;
    EndAttempt(ticket, failure, keptProtocol);
    if (IsTimeout(failure.breakdown)) {
        StorageTimedOut(device);
    }
}

void ExtractorPool::HelperEnded(Helper& helper) {
    if (!refusal_.isEmpty() || !IsAlive(helper)) {
        return;  // no other helper would do better, or it was given up already
    }
    GiveUp(helper, helper.process->HowItEnded());
}

// A helper that does not end a reader when asked is stuck itself, as in a
// request to a share that stopped answering: the files it was asked to end
// end as they were to, the others it held were only held up with it and are
// read again by another.
void ExtractorPool::GiveUpStuck(Helper& helper) {
    for (const Ticket ticket : scheduler_.InFlightOn(helper.process.get())) {
        Job& job = jobs_.at(ticket);
        if (!job.abandonedFor) {
            job.abandonedFor = HelperFailure{HelperBreakdown::HeldUp, {}};
        }
    }
    GiveUp(helper, {HelperBreakdown::Silent, {}});
}

// The helper itself failed: the files its readers held end with it.
void ExtractorPool::GiveUp(Helper& helper, const HelperFailure& failure) {
    const std::vector<Ticket> held = scheduler_.InFlightOn(helper.process.get());
    std::vector<std::pair<Ticket, int>> placed;
    for (const Ticket ticket : held) {
        placed.emplace_back(ticket, scheduler_.PlaceOf(ticket)->slot);
    }
    const bool wasReady = helper.process->isReady();
    for (const auto& [ticket, slot] : placed) {
        Job& job = jobs_.at(ticket);
        const HelperFailure ended = job.abandonedFor.value_or(failure);
        const bool keptProtocol = KeepsProtocol(ended.breakdown);
        const bool journalEvents = keptProtocol && ended.breakdown != HelperBreakdown::Misbehaved;
        HelperFailure believed = ended;
        if (!TakeJournal(helper, slot, ticket, journalEvents) &&
            ended.breakdown != HelperBreakdown::Misbehaved) {
            believed = {HelperBreakdown::Misbehaved, job.attempt.doubt()};
        }
        job.watchdog.reset();
        job.abandonedFor = believed;
    }
    Bury(helper, Ending::Kill);
    QStringList timedOut;
    for (const Ticket ticket : held) {
        Job& job = jobs_.at(ticket);
        const HelperFailure ended = *job.abandonedFor;
        if (ended.breakdown == HelperBreakdown::HeldUp && ++job.lostStarts < kLostStartsToGiveUp) {
            job.abandonedFor.reset();
            job.attempt =
                FileAttempt(job.attempt.libraryUse(), job.record.path(), &options_.extraColumns);
            scheduler_.Enqueue(ticket, job.storage, true);
            continue;
        }
        if (IsTimeout(ended.breakdown)) {
            timedOut << job.storage;
        }
        EndAttempt(ticket, ended, KeepsProtocol(ended.breakdown));
    }
    // Counted once every file of the helper is settled: a storage found not
    // answering fails its queued files at once.
    for (const QString& device : timedOut) {
        StorageTimedOut(device);
    }
    if (!wasReady && ++failedStarts_ >= kFailedStartsToGiveUp) {
        broken_ = true;
        return;
    }
    StartHelper();
    Dispatch();
}

// A reader that hangs or dies has sent nothing of the file it was on: its
// journal tells how far it got and, unless it broke the protocol, what it found.
// False when the journal holds what no real extraction makes.
bool ExtractorPool::TakeJournal(const Helper& helper, int slot, Ticket ticket, bool withEvents) {
    const ExtractionJournal* journal = helper.process->journal(slot);
    if (journal == nullptr) {
        return true;
    }
    const auto messages = journal->Read(ticket);
    return !messages || jobs_.at(ticket).attempt.TakeJournal(*messages, withEvents);
}

void ExtractorPool::EndAttempt(Ticket ticket, const HelperFailure& failure, bool keptProtocol) {
    Job& job = jobs_.at(ticket);
    job.abandonedFor.reset();
    if (!keptProtocol) {
        job.attempt.ForgetEvents();
    } else if (failure.breakdown == HelperBreakdown::Misbehaved &&
               job.attempt.libraryUse() == FileExtractor::LibraryUse::Read) {
        // The file facts and details are read again, without the library.
        job.attempt.ForgetEventsPast(ExtractionSource::Library);
    }
    KeepAttempt(job);
    if (!job.attempt.begun() && ++job.lostStarts < kLostStartsToGiveUp) {
        scheduler_.Enqueue(ticket, job.storage, true);
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
    // A library that misbehaved may have forged the later steps too. Of a
    // storage that does not answer, nothing more is asked.
    if (attempt.libraryUse() == FileExtractor::LibraryUse::Read &&
        failure.breakdown != HelperBreakdown::NotAnswering &&
        (attempt.source() == ExtractionSource::Library || misbehaved)) {
        // The row still gets the file facts and details, read without the library.
        job.attempt =
            FileAttempt(FileExtractor::LibraryUse::Skip, job.record.path(), &options_.extraColumns);
        job.lostStarts = 0;
        scheduler_.Enqueue(ticket, job.storage, true);
    } else {
        MarkDone(job);
    }
}

// Files of a storage that several in a row did not answer are not waited for:
// each is reported at once, the files of other storages go on.
void ExtractorPool::StorageTimedOut(const QString& device) {
    concurrency_->TimedOut(device);
    if (concurrency_->Answering(device)) {
        return;
    }
    for (const Ticket ticket : scheduler_.UnqueueStorage(device)) {
        FailUnanswered(ticket);
    }
    std::vector<Ticket> reading;
    for (const auto& [ticket, job] : jobs_) {
        if (job.storage == device && scheduler_.PlaceOf(ticket)) {
            reading.push_back(ticket);
        }
    }
    for (const Ticket ticket : reading) {
        Abandon(ticket, {HelperBreakdown::NotAnswering, {}});
    }
}

void ExtractorPool::FailUnanswered(Ticket ticket) {
    Job& job = jobs_.at(ticket);
    if (job.cancelled) {
        jobs_.erase(ticket);
        return;
    }
    const HelperFailure failure{HelperBreakdown::NotAnswering, {}};
    job.record.Fail(job.attempt.source(), job.attempt.step(),
                    DescribeHelperFailure(failure, job.attempt.source(), options_));
    MarkDone(job);
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
// once; with its requests closed, once its readers end. ClearGraveyard waits.
void ExtractorPool::Bury(Helper& helper, Ending ending) {
    helper.abandonAnswer->stop();
    helper.process->disconnect(this);
    helper.abandonAnswer->disconnect(this);
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
    // An idle helper ends with its readers once its requests close, and is
    // counted in this process's children; a busy one is killed.
    while (!helpers_.empty()) {
        Helper& helper = *helpers_.back();
        for (const Ticket ticket : scheduler_.InFlightOn(helper.process.get())) {
            jobs_.at(ticket).watchdog.reset();
        }
        Bury(helper, scheduler_.Busy(helper.process.get()) ? Ending::Kill : Ending::CloseRequests);
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

bool ExtractorPool::OnHelper(const Helper& helper, Ticket ticket) const {
    const auto place = scheduler_.PlaceOf(ticket);
    return place && place->helper == helper.process.get() && jobs_.count(ticket) != 0;
}

}  // namespace quorvid
