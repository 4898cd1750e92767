#pragma once
// A user-interface thread for engine tests without Qt: the test's own thread
// plays it and serves the queue only while it waits in RunUntil or RunPending,
// so a test decides exactly when hand-overs run. Notices are recorded instead
// of shown, and the test dismisses them.
//
// Threads: Post from any thread; everything else on the thread that created
// the dispatcher (the "user-interface thread").

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ui_dispatcher.h"

namespace tarnwell::testing {

class TestDispatcher : public UiDispatcher {
  public:
    struct Notice {
        NoticeId id = 0;
        std::string text;
        std::function<void()> dismissed;
        bool open = true;
        bool closedByProgram = false;
    };

    // Any thread.
    void Post(std::function<void()> routine) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(routine));
        }
        queued_.notify_all();
    }

    NoticeId ShowNotice(const std::string& text, std::function<void()> dismissed) override {
        notices_.push_back(Notice{++lastId_, text, std::move(dismissed)});
        return lastId_;
    }

    void CloseNotice(NoticeId id) override {
        if (Notice* notice = Find(id); notice != nullptr && notice->open) {
            notice->open = false;
            notice->closedByProgram = true;
        }
    }

    // The user presses OK.
    void Dismiss(NoticeId id) {
        Notice* notice = Find(id);
        if (notice == nullptr || !notice->open) return;
        notice->open = false;
        auto dismissed = std::move(notice->dismissed);
        if (dismissed) dismissed();
    }

    const std::vector<Notice>& Notices() const { return notices_; }
    std::vector<const Notice*> OpenNotices() const {
        std::vector<const Notice*> open;
        for (const auto& notice : notices_)
            if (notice.open) open.push_back(&notice);
        return open;
    }

    std::thread::id UiThread() const { return uiThread_; }

    std::size_t QueuedCount() const {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

    // Waits, without serving anything, until at least `count` routines are queued.
    bool WaitForQueued(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return queued_.wait_for(lock, timeout, [&] { return queue_.size() >= count; });
    }

    // Serves what is queued now, and what those routines queue meanwhile.
    std::size_t RunPending() {
        std::size_t served = 0;
        while (auto routine = Pop()) {
            (*routine)();
            ++served;
        }
        return served;
    }

    // Serves the queue until `done` holds or the time is up; returns `done()`.
    // Looks at `done` at least every few milliseconds, since what it waits for
    // (a thread that ends) need not post anything.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return done();
            RunPending();
            if (done()) return true;
            std::unique_lock lock(mutex_);
            queued_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !queue_.empty(); });
        }
        return true;
    }

  private:
    std::optional<std::function<void()>> Pop() {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return std::nullopt;
        auto routine = std::move(queue_.front());
        queue_.pop_front();
        return routine;
    }

    Notice* Find(NoticeId id) {
        for (auto& notice : notices_)
            if (notice.id == id) return &notice;
        return nullptr;
    }

    const std::thread::id uiThread_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::function<void()>> queue_;
    std::vector<Notice> notices_;
    NoticeId lastId_ = 0;
};

}  // namespace tarnwell::testing
