#pragma once
// Holding a reader thread after one read. The test takes the lock the reader
// needs before it reads again, makes one read return and waits (bounded) until
// it has: whatever happens while the lock is held waits in the kernel, as it
// does while the user-interface thread is busy.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "support/bounded_poll.h"

namespace tarnwell::test {

// `returned` counts the reads that have returned; the reader counts one before
// it takes `mutex`. The lock is held until the returned lock is let go.
inline std::unique_lock<std::mutex> HoldAfterRead(std::mutex& mutex,
                                                  const std::atomic<int>& returned,
                                                  const std::function<void()>& trigger) {
    std::unique_lock lock(mutex);
    const int before = returned.load();
    trigger();
    EXPECT_TRUE(PollUntil([&] { return returned.load() != before; }, std::chrono::seconds(10)))
        << "the read did not return";
    return lock;
}

}  // namespace tarnwell::test
