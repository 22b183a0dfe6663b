#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>

namespace quorvid {

class HelperProcess;

// Gives up the file a helper is on when the helper makes no progress on it for
// the watchdog's time: no message, and no change in its journal.
class ProgressWatchdog : public QObject {
    Q_OBJECT

  public:
    ProgressWatchdog(const HelperProcess& helper, std::chrono::milliseconds allowed);

    // The helper did something for its file: the time starts again.
    void Progressed();
    // The helper has nothing to do.
    void Stop();

  signals:
    void expired();

  private:
    void Check();

    const HelperProcess& helper_;
    std::chrono::milliseconds allowed_;
    QTimer timer_;
    QElapsedTimer sinceProgress_;
    std::uint32_t journalProgress_ = 0;
};

}  // namespace quorvid
