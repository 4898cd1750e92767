#include "engine/thread_base.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace tarnwell {

// One request of the thread to the user-interface thread: a Synchronize
// routine or a notice. Its state moves under Shared::mutex only.
struct TThread::HandOver {
    enum class State {
        Queued,     // posted, not served yet
        Running,    // the routine runs, or the notice is on screen
        Done,       // the routine has returned, or the notice was dismissed
        Cancelled,  // released by Terminate before it ran, or its notice closed
    };
    State state = State::Queued;
    std::exception_ptr error;
    std::optional<UiDispatcher::NoticeId> notice;
};

// What the thread object and its queued routines share. Terminate and the
// served routines both run on the user-interface thread, so "started" and
// "cancelled" cannot cross; the mutex orders them against the worker thread.
struct TThread::Shared {
    explicit Shared(TThread* thread) : owner(thread) {}

    std::mutex mutex;
    std::condition_variable wake;  // the worker waits on it: resumed, terminated, hand-over over
    bool resumed = false;
    bool terminated = false;
    TThread* const owner;  // valid for as long as `terminated` is false
    std::shared_ptr<HandOver> pending;
};

TThread::TThread(UiDispatcher& dispatcher)
    : dispatcher_(dispatcher), shared_(std::make_shared<Shared>(this)) {
    thread_ = std::thread([this] { Run(); });
}

TThread::~TThread() {
    Terminate();
    // Only a thread object destroyed on its own thread is still joinable here.
    if (thread_.joinable()) thread_.detach();
}

void TThread::Resume() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->resumed || shared_->terminated) return;
        shared_->resumed = true;
    }
    shared_->wake.notify_all();
}

void TThread::Terminate() {
    using S = HandOver::State;
    std::optional<UiDispatcher::NoticeId> notice;
    bool first = false;
    {
        std::lock_guard lock(shared_->mutex);
        first = !shared_->terminated;
        shared_->terminated = true;
        terminated_.store(true, std::memory_order_release);
        if (const auto& handOver = shared_->pending) {
            if (handOver->state == S::Queued) {
                handOver->state = S::Cancelled;
            } else if (handOver->state == S::Running && handOver->notice) {
                notice = handOver->notice;
                handOver->state = S::Cancelled;
            }
        }
    }
    shared_->wake.notify_all();
    if (first) StopRequested();
    if (notice) dispatcher_.CloseNotice(*notice);
    // The worker needs nothing of this thread to get out: its read is
    // interrupted, its hand-over released, and OnTerminate is only posted.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TThread::Run() {
    {
        std::unique_lock lock(shared_->mutex);
        shared_->wake.wait(lock, [this] { return shared_->resumed || shared_->terminated; });
        if (shared_->terminated) {
            finished_.store(true, std::memory_order_release);
            return;
        }
    }
    try {
        Execute();
    } catch (...) {
        // An error that escapes the run ends it without a message; the page
        // learns of the end through OnTerminate like after any other end.
    }
    finished_.store(true, std::memory_order_release);
    DoTerminate();
}

void TThread::DoTerminate() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->terminated) return;
    }
    try {
        // Not waited for: a stop that comes meanwhile must find the thread gone.
        dispatcher_.Post([shared = shared_] {
            TThread* thread = nullptr;
            {
                std::lock_guard lock(shared->mutex);
                if (shared->terminated) return;
                thread = shared->owner;
            }
            if (thread->OnTerminate) thread->OnTerminate(*thread);
        });
    } catch (...) {
        // Nothing may leave the worker thread; without memory for the request
        // there is no way left to tell the page.
    }
}

bool TThread::PostAndWait(const std::shared_ptr<HandOver>& handOver, std::function<void()> served,
                          std::exception_ptr& error) {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->terminated) return false;
        shared_->pending = handOver;
    }
    try {
        dispatcher_.Post(std::move(served));
    } catch (...) {
        std::lock_guard lock(shared_->mutex);
        shared_->pending.reset();
        throw;
    }
    std::unique_lock lock(shared_->mutex);
    shared_->wake.wait(lock, [&] {
        return handOver->state == HandOver::State::Done ||
               handOver->state == HandOver::State::Cancelled;
    });
    shared_->pending.reset();
    // The worker takes the only reference to the error: an exception object
    // whose last reference dies on the other thread is freed there without
    // an order the race detector can see.
    error = std::move(handOver->error);
    return handOver->state == HandOver::State::Done;
}

bool TThread::Synchronize(const std::function<void()>& routine) {
    using S = HandOver::State;
    auto handOver = std::make_shared<HandOver>();
    // The routine is reached only while the worker waits in this call, so a
    // pointer to it is enough; a cancelled request never follows it.
    const std::function<void()>* target = &routine;
    std::exception_ptr error;
    const bool done = PostAndWait(
        handOver,
        [shared = shared_, handOver, target] {
            {
                std::lock_guard lock(shared->mutex);
                if (handOver->state != S::Queued) return;
                handOver->state = S::Running;
            }
            std::exception_ptr failure;
            try {
                (*target)();
            } catch (...) {
                failure = std::current_exception();
            }
            {
                std::lock_guard lock(shared->mutex);
                handOver->error = std::move(failure);
                handOver->state = S::Done;
            }
            shared->wake.notify_all();
        },
        error);
    if (!done) return false;
    if (error) std::rethrow_exception(std::move(error));
    return true;
}

bool TThread::WaitUnlessTerminated(std::chrono::steady_clock::duration time) {
    std::unique_lock lock(shared_->mutex);
    return !shared_->wake.wait_for(lock, time, [this] { return shared_->terminated; });
}

void TThread::ShowMessageAndWait(const std::string& text) {
    using S = HandOver::State;
    auto handOver = std::make_shared<HandOver>();
    std::exception_ptr unused;
    PostAndWait(
        handOver,
        [shared = shared_, handOver, text, dispatcher = &dispatcher_] {
            {
                std::lock_guard lock(shared->mutex);
                if (handOver->state != S::Queued) return;
                handOver->state = S::Running;
            }
            auto finish = [shared, handOver] {
                {
                    std::lock_guard lock(shared->mutex);
                    if (handOver->state != S::Running) return;
                    handOver->state = S::Done;
                }
                shared->wake.notify_all();
            };
            try {
                const auto id = dispatcher->ShowNotice(text, finish);
                std::lock_guard lock(shared->mutex);
                handOver->notice = id;
            } catch (...) {
                // No box came up, so no dismissal will come: do not let the
                // worker wait for one.
                finish();
            }
        },
        unused);
}

}  // namespace tarnwell
