#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "window/DesktopServices.h"

namespace quorvid {
namespace {

TEST(ThrottledEventPump, ProgressIsDueAgainOnlyAfterItsPace) {
    ThrottledEventPump pump;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    EXPECT_TRUE(pump.ProgressDue());
    const bool dueAtOnce = pump.ProgressDue();
    // On a machine that stalled for the whole pace, the second answer may be yes.
    if (sinceFirst.elapsed() < ThrottledEventPump::kProgressPaceMs / 2) {
        EXPECT_FALSE(dueAtOnce);
    }
    QThread::msleep(ThrottledEventPump::kProgressPaceMs + 10);
    EXPECT_TRUE(pump.ProgressDue());
}

}  // namespace
}  // namespace quorvid
