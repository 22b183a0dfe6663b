#pragma once

#include <QDeadlineTimer>
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
#include "core/pool/ReadScheduler.h"

namespace quorvid {

class HelperProcess;
class ProgressWatchdog;

// Extracts files in helper processes, one per core, so that a file on which the
// metadata library loops, crashes or eats memory costs its helper and not the
// caller. A file whose helper stops or hangs still gets its record: what came
// before the step that did not finish, one failure at that step, and the file
// facts and details read by a fresh helper that skips the library.
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
    // True once no helper can be started any more: nothing queued will be read.
    bool IsBroken() const { return broken_; }
    // The characters of the records that are read and wait to be taken.
    qsizetype WaitingCharacters() const { return waitingCharacters_; }

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
        FileExtraction record;
        // What the current attempt made so far; kept only when it ends or
        // stops, not when its helper turned out to be broken.
        FileAttempt attempt;
        bool cancelled = false;
        bool done = false;
        int lostStarts = 0;  // helpers that died before beginning it
    };
    struct Helper {
        std::unique_ptr<HelperProcess> process;
        std::unique_ptr<ProgressWatchdog> watchdog;
    };
    enum class Ending { CloseRequests, Kill };

    void StartHelper();
    void Dispatch();
    void Send(Helper& helper, Ticket ticket);
    void ReadFrom(Helper& helper, qint64 bytes);
    void HelperEnded(Helper& helper);
    void FileDone(Helper& helper, Ticket ticket);
    void MarkDone(Job& job);
    void Forget(Ticket ticket);
    void GiveUp(Helper& helper, HelperFailure failure);
    bool TakeJournal(const Helper& helper, Ticket ticket, bool withEvents);
    void EndAttempt(Ticket ticket, const HelperFailure& failure, bool keptProtocol);
    void FailJob(Ticket ticket, const HelperFailure& failure);
    static void KeepAttempt(Job& job);
    void Bury(Helper& helper, Ending ending);
    void KillAll();
    void ClearGraveyard();
    Helper* Find(ReadScheduler::HelperKey key);
    bool IsAlive(const Helper& helper) const;

    ExtractorPoolOptions options_;
    qint64 parentPid_ = 0;
    Ticket nextTicket_ = 1;
    std::unordered_map<Ticket, Job> jobs_;
    ReadScheduler scheduler_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::vector<std::unique_ptr<Helper>> graveyard_;
    qsizetype waitingCharacters_ = 0;
    int failedStarts_ = 0;
    bool broken_ = false;
    QString refusal_;
    QString confinementNote_;
};

}  // namespace quorvid
