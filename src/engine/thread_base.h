#pragma once
// The worker's thread base: a thread created without running, Resume,
// Synchronize (a blocking hand-over served on the user-interface thread),
// OnTerminate on the user-interface thread after Execute, and a stop that never
// waits for the user-interface thread.
//
// Threads: construction, Resume, Terminate and destruction on the user-interface
// thread; Execute, Synchronize and ShowMessageAndWait on the worker thread.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/ui_dispatcher.h"

namespace tarnwell {

class TThread {
public:
    // The thread is always created suspended; Resume lets it run Execute.
    explicit TThread(UiDispatcher& dispatcher);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // User-interface thread, once.
    void Resume();

    // User-interface thread. Ends the thread on request and returns once it has
    // returned from Execute: a waiting hand-over is released without running,
    // an open notice of this thread is closed, a thread that never ran never
    // runs, and OnTerminate does not run. Never waits for the user-interface
    // thread. Subclasses interrupt their blocking calls in StopRequested.
    void Terminate();

    // Runs on the user-interface thread after Execute has returned by itself,
    // however it returned.
    std::function<void(TThread& sender)> OnTerminate;
    bool FreeOnTerminate = false;  // never honoured: the page destroys its worker

    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
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

    UiDispatcher& Dispatcher() { return dispatcher_; }

private:
    struct HandOver;
    void Run();
    void DoTerminate();
    bool WaitFor(const std::shared_ptr<HandOver>& handOver);

    UiDispatcher& dispatcher_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool resumed_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::shared_ptr<HandOver> pending_;  // the hand-over or notice the thread waits for
    std::thread thread_;
};

}  // namespace tarnwell
