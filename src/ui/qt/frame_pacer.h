#pragma once
// Keeps a window from painting more often than a screen shows pictures.
// While changes stream in, every hand-over leaves the results list changed
// and the window would repaint after each one: hundreds of times a second,
// at a millisecond or more of text layout each, for pictures no screen
// shows. A paint that comes sooner than one frame after the last is put off
// to the end of that frame, and everything changed meanwhile is painted
// then in one go; nothing is left out.
// User-interface thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace tarnwell {

class FramePacer : public QObject {
    Q_OBJECT

  public:
    static constexpr int kFrameMs = 16;

    // Paces `window` (a top-level widget) for as long as both live.
    explicit FramePacer(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
    QElapsedTimer sinceLastPaint_;
    QTimer putOff_;
};

}  // namespace tarnwell
