#include "engine/hand_over_queue.h"

#include <utility>

namespace tarnwell {

HandOverQueue::HandOverQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void HandOverQueue::Post(std::function<void()> routine) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(routine));
    // One wake-up drains everything; more would only cost events.
    if (!wakePosted_) {
        wakePosted_ = true;
        wake_();
    }
}

void HandOverQueue::Serve() {
    // A routine that runs a nested event loop (a modal box) must not have the
    // next hand-overs run inside it: they are served one at a time, and the
    // outer drain takes them up once it returns.
    if (serving_) return;
    serving_ = true;
    struct Drain {
        HandOverQueue& self;
        ~Drain() {
            self.serving_ = false;
            std::lock_guard lock(self.mutex_);
            // Left by an error in a routine: the rest of the queue still runs.
            if (!self.queue_.empty())
                self.wake_();
            else
                self.wakePosted_ = false;
        }
    } drain{*this};
    for (;;) {
        std::function<void()> routine;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            routine = std::move(queue_.front());
            queue_.pop_front();
        }
        routine();
    }
}

}  // namespace tarnwell
