#pragma once
// The worker's thread base: a thread created without running, Resume,
// Synchronize (a blocking hand-over served on the user-interface thread),
// OnTerminate on the user-interface thread after Execute, and a stop that never
// waits for the user-interface thread.
//
// Threads: construction, Resume, Terminate and destruction on the user-interface
// thread; Execute, Synchronize and ShowMessageAndWait on the worker thread.
//
// Every routine the thread queues on the dispatcher holds the shared state it
// needs, so a routine that is served after its thread object is gone finds it
// terminated and does nothing: the object may be destroyed while a cancelled
// hand-over or a skipped OnTerminate still waits in the queue.

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/ui_dispatcher.h"

namespace tarnwell {

class TThread {
  public:
    // The thread is created at once but waits, without running Execute, until
    // Resume or Terminate. Throws std::system_error when no thread can be made.
    explicit TThread(UiDispatcher& dispatcher);
    // Terminates. A subclass whose Execute uses its own members must call
    // Terminate in its own destructor, before those members go away.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // User-interface thread, once; later calls and calls after Terminate do nothing.
    void Resume();

    // User-interface thread. Ends the thread on request and returns once it has
    // returned from Execute: a waiting hand-over is released without running,
    // an open notice of this thread is closed, a thread that never ran never
    // runs, and OnTerminate does not run. Never waits for the user-interface
    // thread. Subclasses interrupt their blocking calls in StopRequested.
    // Must not be called from inside one of this thread's own Synchronize
    // routines (a nested event loop there): the thread waits for that routine.
    void Terminate();

    // Runs on the user-interface thread after Execute has returned by itself,
    // however it returned. The thread does not wait for it.
    std::function<void(TThread& sender)> OnTerminate;

    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    // The thread has left Execute (or will never run it).
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

  protected:
    virtual void Execute() = 0;
    // User-interface thread, inside Terminate, before it waits for the thread.
    virtual void StopRequested() {}

    // Worker thread. Runs `routine` on the user-interface thread and waits for
    // it; an error it raises is raised again here. Returns false without
    // running it when the thread is terminated first.
    bool Synchronize(const std::function<void()>& routine);

    // Worker thread. Shows a notice and waits until it is dismissed or the
    // thread is terminated.
    void ShowMessageAndWait(const std::string& text);

    // Worker thread. Waits for `time` unless the thread is terminated first;
    // false when it is.
    bool WaitUnlessTerminated(std::chrono::steady_clock::duration time);

  private:
    struct Shared;
    struct HandOver;
    void Run();
    void DoTerminate();
    // Queues `served` and waits until the hand-over is done (true, with the
    // routine's error, if any, moved into `error`) or cancelled (false).
    bool PostAndWait(const std::shared_ptr<HandOver>& handOver, std::function<void()> served,
                     std::exception_ptr& error);

    UiDispatcher& dispatcher_;
    std::shared_ptr<Shared> shared_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace tarnwell
