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
    readValue_ = MaxLinesValue(ToSystemText(readText_));
}

int MaxLinesSpinBox::CurrentValue() const {
    const QString text = lineEdit()->text();
    if (text != readText_) {
        readValue_ = MaxLinesValue(ToSystemText(text));
        readText_ = text;
    }
    return readValue_;
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
