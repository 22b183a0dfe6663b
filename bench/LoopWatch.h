#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace bench {

// The longest time between two turns of the event loop while it lives: a timer
// that should fire every 20 ms. Fine enough for a target of 100 ms; a finer one
// wakes the window so often that the instrument shows in its processor time.
class LoopWatch {
  public:
    LoopWatch() {
        ticker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            longestMs_ = std::max(longestMs_, sinceTick_.elapsed());
            sinceTick_.start();
        });
        sinceTick_.start();
        ticker_.start(20);
    }
    qint64 longestMs() const { return std::max(longestMs_, sinceTick_.elapsed()); }

  private:
    QTimer ticker_;
    QElapsedTimer sinceTick_;
    qint64 longestMs_ = 0;
};

}  // namespace bench
