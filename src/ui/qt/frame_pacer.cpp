#include "ui/qt/frame_pacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace tarnwell {

FramePacer::FramePacer(QWidget* window) : QObject(window), window_(window) {
    putOff_.setSingleShot(true);
    putOff_.setTimerType(Qt::PreciseTimer);
    connect(&putOff_, &QTimer::timeout, this, [this] {
        // The window still counts its earlier request as on its way, so it
        // asks for no other: this one carries all that has changed since.
        if (window_)
            QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
    });
    window->installEventFilter(this);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest)
        return QObject::eventFilter(watched, event);
    if (putOff_.isActive()) return true;
    if (sinceLastPaint_.isValid() && sinceLastPaint_.elapsed() < kFrameMs) {
        putOff_.start(kFrameMs - static_cast<int>(sinceLastPaint_.elapsed()));
        return true;
    }
    sinceLastPaint_.start();
    return false;
}

}  // namespace tarnwell
