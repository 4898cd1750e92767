#pragma once
// How workers reach the user-interface thread. The Qt implementation serves
// the queue from the event loop; tests run a plain loop of their own.

#include <cstdint>
#include <functional>
#include <string>

namespace tarnwell {

class UiDispatcher {
  public:
    virtual ~UiDispatcher() = default;

    // Any thread. Queues `routine` to run on the user-interface thread; routines
    // of all callers run one at a time, first come first served.
    virtual void Post(std::function<void()> routine) = 0;

    using NoticeId = std::uint64_t;

    // User-interface thread only. Shows an ownerless, non-modal box with an empty
    // caption, `text`, an OK button and no icon; `dismissed` runs on the
    // user-interface thread when the user closes it.
    virtual NoticeId ShowNotice(const std::string& text, std::function<void()> dismissed) = 0;

    // User-interface thread only. Closes a notice that is still open without
    // running its `dismissed`; an unknown or closed id is ignored.
    virtual void CloseNotice(NoticeId id) = 0;
};

}  // namespace tarnwell
