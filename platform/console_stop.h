#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// A console program's stop, shared by the thread a stop arrives on (a console's control handler,
// which Windows runs on a thread of its own) and the thread that runs the program.
//
// A stop only asks the run to stop (Requested), so that a run that removed queues puts them back
// before it ends. Two exceptions: while the program says nothing it does can be left half done
// (AllowImmediate), a stop ends the process at once; and when the system ends the process itself
// once the handler returns, the handler first waits, bounded, for the run to settle.
class CConsoleStop {
  public:
    enum class Kind {
        kInterrupt,  // Ctrl+C, Ctrl+Break: the process lives on unless it ends itself
        kEnding,     // the console closes or the system shuts down: the process ends after it
    };

    enum class Action {
        kGoOn,    // the caller returns; the run goes on, or for kEnding the system ends it now
        kEndNow,  // the caller ends the process at once, as cancelled
    };

    // Notes the stop (Requested is true from here on, before any waiting), then says what the
    // caller does: end now while an immediate stop is allowed; for kEnding, otherwise, not before
    // the run has settled or `bound` has passed. For kInterrupt it touches lock-free atomics only,
    // so a POSIX signal handler may call it.
    Action Arrive(Kind kind, std::chrono::milliseconds bound);

    bool Requested() const { return m_requested; }

    // Whether a stop may end the process at once from now on. Allowing it after a stop arrived
    // answers kEndNow: that stop was not acted on yet. A stop and an allowance that cross on two
    // threads end the process at least once, never not at all.
    Action AllowImmediate(bool allowed);

    // The run has settled: what it changed is put back or done, so ending the process loses
    // nothing. Wakes every waiting Arrive; later ones do not wait.
    void Settle();

  private:
    // Sequentially consistent: each thread writes its own flag before reading the other's, so at
    // least one of them sees both.
    static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler reads the flags");
    std::atomic<bool> m_requested{false};
    std::atomic<bool> m_immediateAllowed{false};

    std::mutex m_lock;
    std::condition_variable m_settledChanged;
    bool m_settled = false;  // guarded by m_lock
};
