#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>

#include "core/pool/FailureWording.h"

namespace quorvid {

class HelperProcess;

// Gives up a file when its reader makes no progress on it for the watchdog's
// time (no message, no change in its journal), and when it has not finished
// the file by its deadline, whatever progress it shows.
class ProgressWatchdog : public QObject {
    Q_OBJECT

  public:
    // The file is read by the helper's reader in slot.
    ProgressWatchdog(const HelperProcess& helper, int slot, std::chrono::milliseconds allowed,
                     int deadlineInAllowances);

    // The file's reading begins: its deadline starts, and so does the time
    // without progress.
    void FileBegan();
    // The reader did something for its file: the time without progress starts again.
    void Progressed();
    void Stop();

  signals:
    // Silent or Overdue.
    void expired(HelperBreakdown breakdown);

  private:
    void Check();

    const HelperProcess& helper_;
    int slot_;
    std::chrono::milliseconds allowed_;
    int deadlineInAllowances_;
    QTimer timer_;
    QElapsedTimer sinceProgress_;
    QDeadlineTimer deadline_;
    std::uint32_t journalProgress_ = 0;
};

}  // namespace quorvid
