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

// Gives up the file a helper is on when the helper makes no progress on it for
// the watchdog's time (no message, no change in its journal), and when it has
// not finished the file by its deadline, whatever progress it shows.
class ProgressWatchdog : public QObject {
    Q_OBJECT

  public:
    ProgressWatchdog(const HelperProcess& helper, std::chrono::milliseconds allowed,
                     int deadlineInAllowances);

    // The helper begins a file: its deadline starts, and so does the time
    // without progress.
    void FileBegan();
    // The helper did something for its file: the time without progress starts again.
    void Progressed();
    // The helper has nothing to do.
    void Stop();

  signals:
    // Silent or Overdue.
    void expired(HelperBreakdown breakdown);

  private:
    void Check();

    const HelperProcess& helper_;
    std::chrono::milliseconds allowed_;
    int deadlineInAllowances_;
    QTimer timer_;
    QElapsedTimer sinceProgress_;
    QDeadlineTimer deadline_;
    std::uint32_t journalProgress_ = 0;
};

}  // namespace quorvid
