// One piece of work at a time on a worker thread, waited for with a time limit.
//
// The worker exists so that the window keeps answering while a job is being sent: the caller's
// event loop goes on while it waits, and a print server that never answers costs the caller
// the time limit, not its window. Work that is given up is not stopped (a blocked system call
// cannot be); it finishes on its own, asks Abandoned() before each step that would have an
// effect, and undoes what it did when Answer() tells it that nobody waits any more. So the
// caller's outcome and the work's effect always agree: an answered request took effect, a
// timed-out one is undone. Results cross threads through std atomics only.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

namespace velmor {

class TimedTask {
  public:
    // What the work sees of its caller.
    class Caller {
      public:
        // True once the caller has stopped waiting (time limit, or the application quitting).
        bool Abandoned() const { return state_.load() == kAbandoned; }
        // Hands the outcome to the caller, who then reports success; false when the caller had
        // already given up (the work then undoes its effect). Work that returns without
        // calling it is answered as it ends (with its exception, if any).
        bool Answer();

      private:
        friend class TimedTask;
        enum State { kRunning, kAnswered, kAbandoned };
        bool GiveUp();

        std::atomic<int> state_ = kRunning;
        std::atomic<bool> ended_ = false;
        std::exception_ptr error_;  // set before ended_
    };
    using Work = std::function<void(Caller&)>;

    enum class Outcome { kDone, kTimedOut, kQuit };

    TimedTask() = default;
    TimedTask(const TimedTask&) = delete;
    TimedTask& operator=(const TimedTask&) = delete;

    // Runs work on a new worker and processes the calling thread's events until it has been
    // answered (kDone; an exception the work raised is raised here), the limit has passed
    // (kTimedOut), or the event loop was told to quit (kQuit). Must not be called while Busy().
    Outcome Run(Work work, std::chrono::milliseconds limit);

    // Whether the last work's worker is still running, answered or not.
    bool Busy() const { return caller_ && !caller_->ended_.load(); }

  private:
    std::shared_ptr<Caller> caller_;
};

// Whether any worker of the output module is still running, even one whose window is gone.
// A process that ends must then end without running its static destructors, which that worker
// could still reach. Nothing it made outlives it: jobs are sent from memory, no file is used.
bool OutputStillBusy();

}  // namespace velmor
