#include "ui/qt/qt_dispatcher.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <utility>

#include "ui/qt/plain_message_box.h"

namespace tarnwell {

QtDispatcher::QtDispatcher(QObject* parent) : QObject(parent) {}

QtDispatcher::~QtDispatcher() {
    auto notices = std::move(notices_);
    notices_.clear();
    for (auto& [id, notice] : notices) {
        if (notice.box) {
            notice.box->disconnect(this);
            notice.box->close();
        }
    }
}

void QtDispatcher::Post(std::function<void()> routine) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(routine));
    // One queued Serve drains everything; more wake-ups would only cost events.
    if (!wakePosted_) {
        wakePosted_ = true;
        QMetaObject::invokeMethod(this, &QtDispatcher::Serve, Qt::QueuedConnection);
    }
}

void QtDispatcher::Serve() {
    // A routine that runs a nested event loop (a modal box) must not have the
    // next hand-overs run inside it: they are served one at a time, and the
    // outer drain takes them up once it returns.
    if (serving_) return;
    serving_ = true;
    struct Drain {
        QtDispatcher& self;
        ~Drain() {
            self.serving_ = false;
            std::lock_guard lock(self.mutex_);
            // Left by an error in a routine: the rest of the queue still runs.
            if (!self.queue_.empty())
                QMetaObject::invokeMethod(&self, &QtDispatcher::Serve, Qt::QueuedConnection);
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

UiDispatcher::NoticeId QtDispatcher::ShowNotice(const std::string& text,
                                                std::function<void()> dismissed) {
    const NoticeId id = ++lastNotice_;
    // No parent: the box belongs to no window, and non-modal: every window
    // stays usable while it is up.
    auto* box = new PlainMessageBox(QMessageBox::NoIcon, QString(), QString::fromLocal8Bit(text),
                                    QMessageBox::Ok, nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    notices_.emplace(id, Notice{box, std::move(dismissed)});
    connect(box, &QMessageBox::finished, this, [this, id] { Dismissed(id); });
    box->show();
    return id;
}

void QtDispatcher::CloseNotice(NoticeId id) {
    const auto it = notices_.find(id);
    if (it == notices_.end()) return;
    QPointer<QMessageBox> box = it->second.box;
    notices_.erase(it);
    if (box) {
        // Closing emits `finished` as a dismissal would; the worker that asked
        // for the close must not hear of one.
        box->disconnect(this);
        box->close();
    }
}

void QtDispatcher::Dismissed(NoticeId id) {
    const auto it = notices_.find(id);
    if (it == notices_.end()) return;
    auto dismissed = std::move(it->second.dismissed);
    notices_.erase(it);
    if (dismissed) dismissed();
}

}  // namespace tarnwell
