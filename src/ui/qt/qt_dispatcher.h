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
#include <functional>
#include <map>
#include <string>

#include "engine/hand_over_queue.h"
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

    HandOverQueue handOvers_;

    struct Notice {
        QPointer<QMessageBox> box;
        std::function<void()> dismissed;
    };
    std::map<NoticeId, Notice> notices_;  // user-interface thread only
    NoticeId lastNotice_ = 0;
};

}  // namespace tarnwell
