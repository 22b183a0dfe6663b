#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/extraction/FileExtraction.h"
#include "core/pool/ExtractionJournal.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/pool/HelperDiagnostics.h"

class QProcess;
class QTimer;

namespace quorvid {

inline constexpr auto kExtractorProgramName = "quorvid-extractor";

struct ExtractorPoolOptions {
    QString program;      // the helper program
    int helperCount = 0;  // 0: one per core
    // A file on which its helper makes no progress for this long is given up.
    std::chrono::milliseconds watchdog = std::chrono::seconds(60);
    // The ceiling of each helper's address space.
    unsigned long long memoryLimitBytes = protocol::kDefaultMemoryLimitBytes;
    // A helper sending more than this for one file is broken or taken over.
    qint64 maxBytesPerFile = 64 * 1024 * 1024;
    // Where the helpers' diagnostics go, one line at a time with every control
    // character removed; the caller's standard error when not set.
    std::function<void(const QString& line)> diagnostics;
};

// The options for the helper that lives in the program's folder.
ExtractorPoolOptions ProgramExtractorOptions(const QString& programFolder);

// Extracts files in helper processes, one per core, so that a file on which the
// metadata library loops, crashes or eats memory costs its helper and not the
// caller. A file whose helper stops or hangs still gets its record: what came
// before the step that did not finish, one failure at that step, and the file
// facts and details read by a fresh helper that skips the library.
// Lives on the thread that created it; the caller's event loop drives it.
class ExtractorPool : public QObject {
    Q_OBJECT

  public:
    using Ticket = std::uint32_t;

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
        // What the current attempt sent so far; kept only when it ends or stops,
        // not when its helper turned out to be broken.
        std::vector<ExtractionEvent> attempt;
        bool skipLibrary = false;  // the second attempt, after the library failed
        bool cancelled = false;
        bool done = false;
        int lastStep = 0;    // the step last started; 0 before the file began
        int lostStarts = 0;  // helpers that died before beginning it
        qint64 bytes = 0;
    };
    struct Helper {
        std::unique_ptr<QProcess> process;
        std::unique_ptr<ExtractionJournal> journal;  // none where shared memory is refused
        std::unique_ptr<QTimer> watchdog;
        QElapsedTimer sinceProgress;
        std::uint32_t progressSeen = 0;
        protocol::FrameReader reader;
        HelperDiagnostics diagnostics;
        std::deque<Ticket> sent;  // oldest first; the helper works on the front
        bool ready = false;
    };
    enum class Breakdown { Silent, Stopped, OutOfMemory, Flood, Garbled };
    enum class Ending { CloseRequests, Kill };

    Helper& StartHelper();
    void Dispatch();
    void Send(Helper& helper, Ticket ticket);
    void RestartWatchdog(Helper& helper);
    void CheckProgress(Helper& helper);
    void TakeJournal(const Helper& helper, Ticket ticket, bool withEvents);
    void ReadFrom(Helper& helper);
    void ReadDiagnostics(Helper& helper);
    void Diagnose(const QString& line) const;
    void KillAll();
    void HelperFinished(Helper& helper);
    void GiveUp(Helper& helper, Breakdown breakdown, const QString& detail);
    void FailJob(Ticket ticket, int step, const QString& description);
    static void KeepAttempt(Job& job);
    void Bury(Helper& helper, Ending ending);
    void ClearGraveyard();

    ExtractorPoolOptions options_;
    qint64 parentPid_ = 0;
    Ticket nextTicket_ = 1;
    std::unordered_map<Ticket, Job> jobs_;
    std::deque<Ticket> queue_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::vector<std::unique_ptr<Helper>> graveyard_;
    int failedStarts_ = 0;
    bool broken_ = false;
    QString refusal_;
    QString confinementNote_;
};

}  // namespace quorvid
