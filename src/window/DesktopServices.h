#pragma once

#include <QElapsedTimer>
#include <random>

#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/SystemServices.h"

namespace quorvid {

// Runs pending events, skipping calls that come within a few milliseconds of
// the last one, so that a yield per cell costs next to nothing on a large grid
// while the window still repaints many times a second. Progress is due a little
// more than ten times a second: each change of the bar's text costs a repaint,
// and at twenty a second those repaints were a tenth of the window's work in a run.
class ThrottledEventPump : public EventPump {
  public:
    static constexpr qint64 kProgressPaceMs = 80;

    void DoEvents() override;
    bool ProgressDue() override;

  private:
    QElapsedTimer sinceLast_;
    QElapsedTimer sinceProgress_;
};

class SystemClock : public Clock {
  public:
    double SecondsSinceMidnight() const override;
};

class SystemRandom : public RandomSource {
  public:
    void Seed(double seed) override;
    double NextUniform() override;

  private:
    std::mt19937 generator_{std::random_device{}()};
};

class DesktopUrlOpener : public UrlOpener {
  public:
    bool Open(const QUrl& url) override;
};

class ImmediateProgramEnd : public ProgramEnd {
  public:
    [[noreturn]] void EndProgram() override;
};

}  // namespace quorvid
