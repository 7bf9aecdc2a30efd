// One piece of work at a time on a worker thread, waited for with a time limit.
//
// The worker exists so that the window keeps answering while a job is being sent: the caller's
// event loop goes on while it waits, and a print server that never answers costs the caller
// the time limit, not its window. Work that is given up is not stopped (a blocked system call
// cannot be); it finishes on its own. What the caller is told matches what the work can still
// do:
// - before the work commits, it may arm a breaker (a way to stop its effect, such as breaking
//   its connection); a caller that gives up runs the breaker first, and the work, which asks
//   Arm() and Commit() before each step that would have an effect, takes none: kTimedOut means
//   the work will have no effect;
// - once the work has committed, its effect may happen whatever anyone does: a caller that gives
//   up then is told kUnconfirmed, never a failure.
// The caller's and the work's view of this state cross threads under the Caller's mutex; the
// work's exception crosses as a plain exception_ptr, written before the atomic ended_ is set and
// read only after it has been seen.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace velmor {

class TimedTask {
  public:
    // What the work sees of its caller.
    class Caller {
      public:
        // True once the caller has stopped waiting (time limit, or the application quitting).
        bool Abandoned() const;
        // Until Commit(), breaker is what the caller runs, on its own thread, when it gives up;
        // it must only interrupt (shut a connection down), never free anything. False when the
        // caller has given up already: the work must not start its effect then.
        bool Arm(std::function<void()> breaker);
        // After this the breaker neither runs nor will run; call it before anything the breaker
        // uses goes away.
        void Disarm();
        // From now on the work's effect may happen whatever the caller does. False when the
        // caller has given up already (its breaker has run): the work must stop then.
        bool Commit();
        // While paused (a question to the user is open), the caller's time limit does not run.
        void PauseLimit(bool paused) { paused_ = paused; }
        // The caller of the work running on this thread; nullptr on any other thread.
        static Caller* Current();
        // Hands the outcome to the caller, who then reports success; false when the caller had
        // already given up. Work that returns without calling it is answered as it ends (with
        // its exception, if any).
        bool Answer();

      private:
        friend class TimedTask;
        enum State { kRunning, kCommitted, kAnswered, kAbandoned, kLeftCommitted };
        State GiveUp();
        void End(std::exception_ptr error);

        mutable std::mutex mutex_;
        State state_ = kRunning;
        std::function<void()> breaker_;
        std::atomic<bool> ended_ = false, paused_ = false;
        std::exception_ptr error_;  // set before ended_
    };
    using Work = std::function<void(Caller&)>;

    enum class Outcome { kDone, kTimedOut, kUnconfirmed, kQuit };

    TimedTask() = default;
    TimedTask(const TimedTask&) = delete;
    TimedTask& operator=(const TimedTask&) = delete;

    // Runs work on a new worker and processes the calling thread's events until it has been
    // answered (kDone; an exception the work raised is raised here), the limit has passed, not
    // counting the time the work kept it paused (kTimedOut or kUnconfirmed, as above), or the
    // event loop was told to quit (kQuit; the work is given up as on a timeout). Must not be called while Busy(): so at most one worker runs
    // per task, given up or not, and a caller whose last work was given up starts no other
    // until that worker has ended.
    Outcome Run(Work work, std::chrono::milliseconds limit);

    // Whether Run is waiting for the last work.
    bool Waiting() const { return waiting_; }
    // Whether the last work's worker is still running, waited for, answered or given up.
    bool Busy() const { return caller_ && !caller_->ended_.load(); }

  private:
    // Runs work for caller on a new thread that nobody waits for.
    static void Start(std::shared_ptr<Caller> caller, Work work);

    std::shared_ptr<Caller> caller_;
    bool waiting_ = false;
};

// What the output module's workers leave behind when the process ends: kNothing when none
// runs; else kFinishing (answered, ending), kAbandoned (given up before any effect: it will have
// none) or kUnconfirmed (given up after committing), the last that applies to any of them. A
// process that ends with a worker running must end without running its static destructors,
// which that worker could still reach. Nothing it made outlives it: jobs are sent from memory,
// no file is used.
enum class LeftBehind { kNothing, kFinishing, kAbandoned, kUnconfirmed };
LeftBehind OutputLeftBehind();

}  // namespace velmor
