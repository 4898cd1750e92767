#include "ui/qt/qt_widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRect>
#include <QWidget>

namespace tarnwell {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QGroupBox* MakeGroup(const char* name, const QString& caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

void CentreOnMainWindow(QWidget* dialog) {
    QWidget* owner = dialog->parentWidget();
    while (owner != nullptr && owner->parentWidget() != nullptr) owner = owner->parentWidget();
    if (owner == nullptr || !owner->isVisible()) return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    dialog->move(frame.topLeft());
}

}  // namespace tarnwell
