#include "timed_task.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace velmor {
namespace {

// Workers still running, and among them those given up before and after committing.
std::atomic<int> runningWorkers = 0;
std::atomic<int> abandonedWorkers = 0;
std::atomic<int> unconfirmedWorkers = 0;

thread_local TimedTask::Caller* currentCaller = nullptr;

}  // namespace

TimedTask::Caller* TimedTask::Caller::Current() {
    return currentCaller;
}

bool TimedTask::Caller::Abandoned() const {
    const std::lock_guard lock(mutex_);
    return state_ == kAbandoned || state_ == kLeftCommitted;
}

bool TimedTask::Caller::Arm(std::function<void()> breaker) {
    const std::lock_guard lock(mutex_);
    if (state_ != kRunning) return false;
    breaker_ = std::move(breaker);
    return true;
}

void TimedTask::Caller::Disarm() {
    const std::lock_guard lock(mutex_);
    breaker_ = nullptr;
}

bool TimedTask::Caller::Commit() {
    const std::lock_guard lock(mutex_);
    breaker_ = nullptr;
    if (state_ != kRunning) return state_ == kCommitted;
    state_ = kCommitted;
    return true;
}

bool TimedTask::Caller::Answer() {
    const std::lock_guard lock(mutex_);
    if (state_ == kAbandoned || state_ == kLeftCommitted) return false;
    state_ = kAnswered;
    return true;
}

TimedTask::Caller::State TimedTask::Caller::GiveUp() {
    const std::lock_guard lock(mutex_);
    if (ended_) return state_;
    if (state_ == kRunning) {
        state_ = kAbandoned;
        ++abandonedWorkers;
        // Under the lock: the work cannot pass Disarm() or Commit() while it runs.
        if (breaker_) breaker_();
        breaker_ = nullptr;
    } else if (state_ == kCommitted) {
        state_ = kLeftCommitted;
        ++unconfirmedWorkers;
    }
    return state_;
}

void TimedTask::Caller::End(std::exception_ptr error) {
    const std::lock_guard lock(mutex_);
    error_ = std::move(error);
    if (state_ == kRunning || state_ == kCommitted) state_ = kAnswered;
    if (state_ == kAbandoned) --abandonedWorkers;
    if (state_ == kLeftCommitted) --unconfirmedWorkers;
    ended_ = true;
}

void TimedTask::Start(std::shared_ptr<Caller> caller, Work work) {
    ++runningWorkers;
    // A plain thread, not a QThread: one that is given up must never be waited for, neither by
    // a QThread destructor nor by the application's thread pool.
    try {
        std::thread([caller = std::move(caller), work = std::move(work)]() mutable {
            std::exception_ptr error;
            currentCaller = caller.get();
            try {
                work(*caller);
            } catch (...) {
                error = std::current_exception();
            }
            // What the work holds may be the last reference to its owner's state (the window is
            // gone): it goes here, before anyone is told that the worker has ended.
            work = nullptr;
            caller->End(std::move(error));
            caller.reset();
            --runningWorkers;
        }).detach();
    } catch (...) {
        --runningWorkers;
        throw;
    }
}

TimedTask::Outcome TimedTask::Run(Work work, std::chrono::milliseconds limit) {
    auto caller = std::make_shared<Caller>();
    Start(caller, std::move(work));
    caller_ = caller;
    waiting_ = true;

    // The worker cannot post to this loop safely once the loop may be gone, so the loop looks.
    // Past the limit, an answered worker is still waited for: it has only to end.
    QDeadlineTimer deadline(limit);
    qint64 pausedWith = -1;  // the time left when the limit was paused
    Caller::State given = Caller::kRunning;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (caller->paused_ && pausedWith < 0) pausedWith = deadline.remainingTime();
        if (!caller->paused_) pausedWith = -1;
        if (pausedWith >= 0) deadline.setRemainingTime(pausedWith);
        if (caller->ended_ ||
            (deadline.hasExpired() && (given = caller->GiveUp()) != Caller::kAnswered))
            loop.quit();
    });
    poll.start();
    loop.exec();
    waiting_ = false;

    if (!caller->ended_ && given == Caller::kRunning) given = caller->GiveUp();  // quitting
    if (given == Caller::kAbandoned || given == Caller::kLeftCommitted) {
        if (!deadline.hasExpired()) return Outcome::kQuit;
        return given == Caller::kAbandoned ? Outcome::kTimedOut : Outcome::kUnconfirmed;
    }
    if (!caller->ended_) return Outcome::kQuit;  // answered, but the application is quitting
    if (caller->error_) std::rethrow_exception(caller->error_);
    return Outcome::kDone;
}

LeftBehind OutputLeftBehind() {
    if (unconfirmedWorkers > 0) return LeftBehind::kUnconfirmed;
    if (abandonedWorkers > 0) return LeftBehind::kAbandoned;
    return runningWorkers > 0 ? LeftBehind::kFinishing : LeftBehind::kNothing;
}

}  // namespace velmor
