#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/pool/ExtractionJournal.h"
#include "core/pool/ExtractorPoolOptions.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/pool/FailureWording.h"
#include "core/pool/HelperDiagnostics.h"

class QProcess;

namespace quorvid {

// A helper loads its libraries before it is ready; on a busy machine that may
// take longer than a short watchdog allows a file.
inline constexpr std::chrono::milliseconds kHelperStartupAllowance = std::chrono::seconds(10);

// One helper process: started in a session of its own with a minimal
// environment, its journal and its pipes; ended with the program. It first says
// whether it could confine itself (the handshake); what it sends after that
// waits in NextMessage(). What it prints on its standard error goes on as clean
// lines.
class HelperProcess : public QObject {
    Q_OBJECT

  public:
    // readers: how many it may run at once, each with a journal.
    HelperProcess(const ExtractorPoolOptions& options, qint64 parentPid, int readers);
    ~HelperProcess() override;  // kills it if it still runs

    bool WaitForStarted();
    // It said it is confined and waits for requests.
    bool isReady() const { return ready_; }
    // What it says beyond the handshake, in order; nothing while no whole
    // message has come.
    std::optional<protocol::Message> NextMessage();
    // It sent what is no message: nothing more from it can be believed.
    bool garbled() const { return reader_.broken(); }
    // The readers it may run at once.
    int slotCount() const { return static_cast<int>(journals_.size()); }
    // The journal a slot's reader keeps of its file; none where shared memory
    // is refused.
    const ExtractionJournal* journal(int slot) const;

    void Send(std::uint32_t id, const QString& path, std::uint8_t flags, int slot);
    // Asks it to end the reader of request id.
    void Abandon(std::uint32_t id);
    // Ends it at once, or lets it end once it has read its last request.
    void Kill();
    void CloseRequests();
    // Waits for its end; kills it when it lingers.
    void Reap();
    // Out of memory, or stopped (how: the signal or exit status).
    HelperFailure HowItEnded() const;
    // How a reader that ended without finishing its file failed it.
    static HelperFailure FailureOf(protocol::ReaderEnd end, std::uint32_t code);

  signals:
    void readied(const QString& confinementNote);
    // It cannot confine itself; said before it was sent anything.
    void refused(const QString& reason);
    // Messages wait in NextMessage(); bytes is how much arrived.
    void messagesArrived(qint64 bytes);
    // It sent something before its handshake that is no handshake.
    void handshakeBroken();
    void ended();

  private:
    void ReadRecords();
    void TakeHandshake();
    void ReadDiagnostics();
    void Diagnose(const QString& line) const;
    void Finished();

    const ExtractorPoolOptions& options_;
    std::unique_ptr<QProcess> process_;
    std::vector<std::unique_ptr<ExtractionJournal>> journals_;
    protocol::FrameReader reader_;
    HelperDiagnostics diagnostics_;
    bool ready_ = false;
    bool requested_ = false;  // a request was sent
};

}  // namespace quorvid
