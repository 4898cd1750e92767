#pragma once
// Answers the message boxes that come up while a test runs: a modal box would
// otherwise wait for a user who is not there. Each box is noted once (caption,
// text, icon, modality) and, unless told otherwise, closed with OK.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <functional>

namespace tarnwell::test {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    bool hasParent = false;
    QPointer<QMessageBox> box;
    Qt::TextFormat format = Qt::AutoText;
};

class MessageBoxAnswerer : public QObject {
  public:
    // `answer` decides per box whether it is closed with OK at once.
    explicit MessageBoxAnswerer(std::function<bool(const SeenBox&)> answer = {})
        : answer_(std::move(answer)) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::Look);
        timer_.start();
    }

    QList<SeenBox> seen;

    // Presses OK on a box that was left open.
    static void PressOk(QMessageBox* box) {
        if (box == nullptr) return;
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    }

  private:
    void Look() {
        QList<QWidget*> candidates = QApplication::topLevelWidgets();
        if (QWidget* modal = QApplication::activeModalWidget()) candidates.prepend(modal);
        for (QWidget* widget : candidates) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || handled_.contains(box)) continue;
            handled_.insert(box);
            // A later box may be built at the same address.
            connect(box, &QObject::destroyed, this, [this, box] { handled_.remove(box); });
            SeenBox note{box->windowTitle(),
                         box->text(),
                         box->icon(),
                         box->windowModality() != Qt::NonModal || box->isModal(),
                         box->parentWidget() != nullptr,
                         box,
                         box->textFormat()};
            seen.append(note);
            if (!answer_ || answer_(note)) PressOk(box);
        }
    }

    std::function<bool(const SeenBox&)> answer_;
    QSet<QObject*> handled_;
    QTimer timer_;
};

}  // namespace tarnwell::test
