#include "timed_task.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace velmor {
namespace {

std::atomic<int> runningWorkers = 0;

}  // namespace

bool TimedTask::Caller::Answer() {
    int running = kRunning;
    return state_.compare_exchange_strong(running, kAnswered) || running == kAnswered;
}

bool TimedTask::Caller::GiveUp() {
    int running = kRunning;
    return state_.compare_exchange_strong(running, kAbandoned) || running == kAbandoned;
}

TimedTask::Outcome TimedTask::Run(Work work, std::chrono::milliseconds limit) {
    auto caller = std::make_shared<Caller>();
    ++runningWorkers;
    // A plain thread, not a QThread: one that is given up must never be waited for, neither by
    // a QThread destructor nor by the application's thread pool.
    try {
        std::thread([caller, work = std::move(work)]() mutable {
            try {
                work(*caller);
            } catch (...) {
                caller->error_ = std::current_exception();
            }
            caller->Answer();
            // What the work holds may be the last reference to its owner's state (the window is
            // gone): it goes here, before anyone is told that the worker has ended.
            work = nullptr;
            caller->ended_ = true;
            caller.reset();
            --runningWorkers;
        }).detach();
    } catch (...) {
        --runningWorkers;
        throw;
    }
    caller_ = caller;

    // The worker cannot post to this loop safely once the loop may be gone, so the loop looks.
    // Past the limit, an answered worker is still waited for: it has only to end.
    const QDeadlineTimer deadline(limit);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (caller->ended_ || (deadline.hasExpired() && caller->GiveUp())) loop.quit();
    });
    poll.start();
    loop.exec();

    if (caller->GiveUp()) return deadline.hasExpired() ? Outcome::kTimedOut : Outcome::kQuit;
    if (!caller->ended_) return Outcome::kQuit;  // answered, but the application is quitting
    if (caller->error_) std::rethrow_exception(caller->error_);
    return Outcome::kDone;
}

bool OutputStillBusy() {
    return runningWorkers.load() > 0;
}

}  // namespace velmor
