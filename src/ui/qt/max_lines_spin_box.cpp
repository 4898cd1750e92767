#include "ui/qt/max_lines_spin_box.h"

#include <QLineEdit>
#include <string>

#include "ui/qt/qt_system_text.h"
#include "ui/watch_page.h"

namespace tarnwell {

MaxLinesSpinBox::MaxLinesSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(0, kMaxLinesMaximum);
    setSingleStep(1);
    setWrapping(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(true);
}

int MaxLinesSpinBox::CurrentValue() const {
    return MaxLinesValue(ToSystemText(lineEdit()->text()));
}

QValidator::State MaxLinesSpinBox::validate(QString& input, int& /*pos*/) const {
    const std::string text = ToSystemText(input);
    if (!IsMaxLinesInput(text)) return QValidator::Invalid;
    return IsMaxLinesComplete(text) ? QValidator::Acceptable : QValidator::Intermediate;
}

void MaxLinesSpinBox::fixup(QString& input) const {
    input = QString::number(MaxLinesValue(ToSystemText(input)));
}

}  // namespace tarnwell
