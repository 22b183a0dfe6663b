#include "window/DesktopServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QTime>
#include <cstdlib>

namespace quorvid {

namespace {
constexpr qint64 kMinimumYieldGapMs = 4;
}  // namespace

void ThrottledEventPump::DoEvents() {
    if (sinceLast_.isValid() && sinceLast_.elapsed() < kMinimumYieldGapMs) {
        return;
    }
    QCoreApplication::processEvents();
    sinceLast_.start();
}

bool ThrottledEventPump::ProgressDue() {
    if (sinceProgress_.isValid() && sinceProgress_.elapsed() < kProgressPaceMs) {
        return false;
    }
    sinceProgress_.start();
    return true;
}

double SystemClock::SecondsSinceMidnight() const {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void SystemRandom::Seed(double seed) {
    generator_.seed(static_cast<std::mt19937::result_type>(seed * 1000));
}

double SystemRandom::NextUniform() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator_);
}

bool DesktopUrlOpener::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void ImmediateProgramEnd::EndProgram() {
    std::_Exit(0);
}

}  // namespace quorvid
