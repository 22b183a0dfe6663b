#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/extraction/FileExtraction.h"
#include "core/pool/ExtractorPoolOptions.h"
#include "core/pool/FailureWording.h"
#include "core/pool/FileAttempt.h"
#include "core/pool/ProgressWatchdog.h"
#include "core/pool/ReadScheduler.h"
#include "core/pool/StorageConcurrency.h"
#include "core/pool/StorageMap.h"
#include "core/pool/StoragePrefetch.h"

class QTimer;

namespace quorvid {

class HelperProcess;

namespace protocol {
struct Message;
}

// Extracts files in helper processes, one per core, each reading every file in
// a confined reader of its own, several at once, so that a file on which the
// metadata library loops, crashes or eats memory costs its reader and not the
// caller. A file whose reader stops or hangs still gets its record: what came
// before the step that did not finish, one failure at that step, and the file
// facts and details read by a fresh reader that skips the library. How many
// files are read at once follows their storage (StorageConcurrency).
// Lives on the thread that created it; the caller's event loop drives it.
class ExtractorPool : public QObject {
    Q_OBJECT

  public:
    using Ticket = ReadScheduler::Ticket;

    explicit ExtractorPool(ExtractorPoolOptions options);
    ~ExtractorPool() override;  // kills the helpers

    // Starts the helpers and waits until the first is ready; false when the
    // program cannot be started or cannot confine itself (refusal() says why).
    bool Start();
    // Why the helpers read no file: they cannot confine themselves. Empty
    // while they can.
    const QString& refusal() const { return refusal_; }
    // What the helpers' confinement lacks on this system; empty when nothing.
    const QString& confinementNote() const { return confinementNote_; }
    int helperCount() const { return static_cast<int>(helpers_.size()); }
    // The most files it reads at once.
    int capacity() const;
    // True once no helper can be started any more: nothing queued will be read.
    bool IsBroken() const { return broken_; }
    // The characters of the records that are read and wait to be taken.
    qsizetype WaitingCharacters() const { return waitingCharacters_; }
    // How many files it reads at once now, for a progress line.
    QString ReadingSaid() const;

    // Queues a file; an urgent one goes before those already queued.
    Ticket Submit(const QString& path, bool urgent = false);
    // The record is no longer wanted.
    void Cancel(Ticket ticket);
    // Waits for the record until the deadline, turning the event loop
    // meanwhile. Nothing when it has not come by then, or when no helper can run
    // (each new one died before it was ready).
    std::optional<FileExtraction> Take(
        Ticket ticket, QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

  private:
    struct Job {
        Job(const QString& path, QString device, const ExtraColumns* extra)
            : record(path),
              attempt(FileExtractor::LibraryUse::Read, path, extra),
              storage(std::move(device)) {}

        FileExtraction record;
        // What the current attempt made so far; kept only when it ends or
        // stops, not when its reader turned out to be broken.
        FileAttempt attempt;
        QString storage;                             // its device
        std::unique_ptr<ProgressWatchdog> watchdog;  // while a reader reads it
        // Its reader was asked to end, and why.
        std::optional<HelperFailure> abandonedFor;
        bool cancelled = false;
        bool done = false;
        int lostStarts = 0;  // readers that ended before beginning it
    };
    struct Helper {
        std::unique_ptr<HelperProcess> process;
        // Runs while a reader it was asked to end has not been reported ended.
        std::unique_ptr<QTimer> abandonAnswer;
    };
    enum class Ending { CloseRequests, Kill };

    void StartHelper();
    void Dispatch();
    void PrefetchNext(const QString& device);
    void Begin(Ticket ticket, const ReadScheduler::Place& place);
    void ReadFrom(Helper& helper);
    bool Decode(Helper& helper, const protocol::Message& message);
    void FileDone(Ticket ticket);
    void Abandon(Ticket ticket, const HelperFailure& failure);
    void ReaderEnded(Helper& helper, Ticket ticket, HelperFailure failure);
    void HelperEnded(Helper& helper);
    void GiveUpStuck(Helper& helper);
    void GiveUp(Helper& helper, const HelperFailure& failure);
    bool TakeJournal(const Helper& helper, int slot, Ticket ticket, bool withEvents);
    void EndAttempt(Ticket ticket, const HelperFailure& failure, bool keptProtocol);
    void FailJob(Ticket ticket, const HelperFailure& failure);
    void StorageTimedOut(const QString& device);
    void FailUnanswered(Ticket ticket);
    void MarkDone(Job& job);
    void Forget(Ticket ticket);
    static void KeepAttempt(Job& job);
    void Bury(Helper& helper, Ending ending);
    void KillAll();
    void ClearGraveyard();
    Helper* Find(ReadScheduler::HelperKey key);
    bool IsAlive(const Helper& helper) const;
    bool OnHelper(const Helper& helper, Ticket ticket) const;
    int LimitOf(const QString& device);

    ExtractorPoolOptions options_;
    qint64 parentPid_ = 0;
    Ticket nextTicket_ = 1;
    std::unordered_map<Ticket, Job> jobs_;
    ReadScheduler scheduler_;
    StorageMap storageMap_;
    QHash<QString, Storage> storages_;
    std::unique_ptr<StorageConcurrency> concurrency_;
    StoragePrefetch prefetch_;
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::vector<std::unique_ptr<Helper>> graveyard_;
    qsizetype waitingCharacters_ = 0;
    int failedStarts_ = 0;
    bool broken_ = false;
    QString refusal_;
    QString confinementNote_;
};

}  // namespace quorvid
