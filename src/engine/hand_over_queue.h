#pragma once
// The queue behind a face's dispatcher: workers' routines wait here in the
// order they came and are served on the user-interface thread one at a time.
// The face only says how its event loop is woken to call Serve.
//
// Threads: Post from any thread; Serve on the user-interface thread only.

#include <deque>
#include <functional>
#include <mutex>

namespace tarnwell {

class HandOverQueue {
  public:
    // `wake` asks the event loop to call Serve soon, without waiting for it;
    // it is called with the queue locked, so it must not call back in.
    explicit HandOverQueue(std::function<void()> wake);
    HandOverQueue(const HandOverQueue&) = delete;
    HandOverQueue& operator=(const HandOverQueue&) = delete;

    void Post(std::function<void()> routine);

    // Runs every routine queued, the ones that come meanwhile too. An error a
    // routine raises leaves Serve; the rest are served at the next wake-up.
    void Serve();

  private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;  // guarded by mutex_
    bool wakePosted_ = false;                  // guarded by mutex_: a Serve is due or running
    bool serving_ = false;                     // user-interface thread only
};

}  // namespace tarnwell
