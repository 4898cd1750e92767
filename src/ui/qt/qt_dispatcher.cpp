#include "ui/qt/qt_dispatcher.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <utility>

#include "ui/qt/plain_message_box.h"

namespace tarnwell {

QtDispatcher::QtDispatcher(QObject* parent)
    : QObject(parent), handOvers_([this] {
          QMetaObject::invokeMethod(this, &QtDispatcher::Serve, Qt::QueuedConnection);
      }) {}

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
    handOvers_.Post(std::move(routine));
}

void QtDispatcher::Serve() {
    handOvers_.Serve();
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
