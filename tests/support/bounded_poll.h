#pragma once
// A bounded wait for progress that nothing signals (a count in /proc, a
// counter another thread bumps): the condition is looked at every millisecond
// until it holds or the limit has passed.

#include <chrono>
#include <thread>

namespace tarnwell::test {

// Whether `holds` came true within `limit`.
template <typename Condition>
bool PollUntil(Condition holds, std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tarnwell::test
