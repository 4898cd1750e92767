#pragma once
// The workers' way to the user-interface thread in the program: hand-overs are
// queued and served from the Qt event loop, one at a time in the order they
// came; the workers' notices are ownerless, non-modal message boxes.
//
// Threads: create and destroy on the user-interface thread (the thread of the
// QApplication); Post from any thread; ShowNotice and CloseNotice on the
// user-interface thread only. It must outlive every worker that uses it.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "engine/ui_dispatcher.h"

namespace tarnwell {

class QtDispatcher : public QObject, public UiDispatcher {
    Q_OBJECT

  public:
    explicit QtDispatcher(QObject* parent = nullptr);
    // Closes the notices still open without running their `dismissed`;
    // routines still queued are dropped.
    ~QtDispatcher() override;

    void Post(std::function<void()> routine) override;
    NoticeId ShowNotice(const std::string& text, std::function<void()> dismissed) override;
    void CloseNotice(NoticeId id) override;

  private:
    void Serve();
    void Dismissed(NoticeId id);

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;  // guarded by mutex_
    bool wakePosted_ = false;                  // guarded by mutex_: a Serve is queued or running
    bool serving_ = false;                     // user-interface thread only

    struct Notice {
        QPointer<QMessageBox> box;
        std::function<void()> dismissed;
    };
    std::map<NoticeId, Notice> notices_;  // user-interface thread only
    NoticeId lastNotice_ = 0;
};

}  // namespace tarnwell
