#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/shell/platform/EventsTurningWait.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {
namespace {

using namespace std::chrono_literals;

TEST(RunWhileEventsTurn, TimersFireWhileTheWorkRunsElsewhereAndItsFailureComesBack) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    std::thread::id workThread;
    RunWhileEventsTurn([&] {
        workThread = std::this_thread::get_id();
        std::this_thread::sleep_for(300ms);
    });
    EXPECT_NE(workThread, std::this_thread::get_id());
    // A loop that stood still for the work would have ticked once at most.
    EXPECT_GE(ticks, 5);

    try {
        RunWhileEventsTurn([] { throw StepFailure(QStringLiteral("disk full")); });
        ADD_FAILURE() << "the failure was lost";
    } catch (const StepFailure& failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("disk full"));
    }
}

TEST(RunWhileEventsTurn, WorkThatEndsAtOnceDoesNotLeaveTheLoopWaiting) {
    // Many short works in a row: a lost wake-up would hang here.
    std::atomic<int> done = 0;
    for (int i = 0; i < 2000; ++i) {
        RunWhileEventsTurn([&] { ++done; });
    }
    EXPECT_EQ(done, 2000);
}

TEST(RunWhileEventsTurn, OffTheLoopsThreadTheWorkRunsInPlace) {
    std::thread::id workThread;
    std::thread other([&] {
        RunWhileEventsTurn([&] { workThread = std::this_thread::get_id(); });
        EXPECT_EQ(workThread, std::this_thread::get_id());
    });
    other.join();
}

}  // namespace
}  // namespace quorvid
