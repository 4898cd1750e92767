#pragma once
// For the About box's tests: answers the modal boxes that come up while a
// check runs, noting what the user would have seen, and acts on a modal dialog
// once it is up. Every wait is bounded.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace tarnwell::test {

struct NotedBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool owned = false;       // has an owner window
    bool waitCursor = false;  // the hourglass was still up while the box showed
    QList<QMessageBox::StandardButton> buttons;
    Qt::TextFormat format = Qt::AutoText;
    QString objectName;
};

// Closes every message box that becomes the active modal window with OK.
class ModalBoxAnswerer : public QObject {
  public:
    ModalBoxAnswerer() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            NotedBox note{box->windowTitle(),
                          box->text(),
                          box->icon(),
                          box->parentWidget() != nullptr,
                          QApplication::overrideCursor() != nullptr,
                          {},
                          box->textFormat(),
                          box->objectName()};
            for (QAbstractButton* button : box->buttons())
                note.buttons << box->standardButton(button);
            seen << note;
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start();
    }

    QList<NotedBox> seen;

  private:
    QTimer timer_;
};

// Runs `act` on the dialog of type T once it is the active modal window, from
// inside its exec(). Gives up (and rejects whatever is modal) after 10 s, so a
// dialog that never comes cannot hang the test.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, started, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            dialog != nullptr && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
            return;
        }
        if (++*started > 2000) {
            timer->stop();
            timer->deleteLater();
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
        }
    });
    timer->start();
}

}  // namespace tarnwell::test
