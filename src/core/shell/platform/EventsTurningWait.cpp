#include "core/shell/platform/EventsTurningWait.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <exception>
#include <thread>

namespace quorvid {

void RunWhileEventsTurn(const std::function<void()>& work) {
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        work();
        return;
    }
    std::atomic<bool> done = false;
    std::exception_ptr failure;
    // The worker's last act wakes this thread's loop through a queued call.
    QObject waker;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &waker, [] {}, Qt::QueuedConnection);
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace quorvid
