#include "ui/max_lines_spin_box.h"

#include <QLineEdit>
#include <algorithm>

namespace tarnwell {

namespace {

// The digits of `text`, or -1 when it holds anything else; a number too long
// for an int counts as beyond the maximum.
long long ReadDigits(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) return 0;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9') return -1;
    if (digits.size() > 9) return MaxLinesSpinBox::kMaximum + 1LL;
    return digits.toLongLong();
}

// The value a text stands for, brought into the range; unreadable is 0.
int ValueOf(const QString& text) {
    const long long value = ReadDigits(text);
    if (value < 0) return 0;
    return static_cast<int>(std::min<long long>(value, MaxLinesSpinBox::kMaximum));
}

}  // namespace

MaxLinesSpinBox::MaxLinesSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(0, kMaximum);
    setSingleStep(1);
    setWrapping(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(true);
    readValue_ = ValueOf(readText_);
}

int MaxLinesSpinBox::CurrentValue() const {
    const QString text = lineEdit()->text();
    if (text != readText_) {
        readValue_ = ValueOf(text);
        readText_ = text;
    }
    return readValue_;
}

QValidator::State MaxLinesSpinBox::validate(QString& input, int& /*pos*/) const {
    if (input.trimmed().isEmpty()) return QValidator::Intermediate;
    const long long value = ReadDigits(input);
    if (value < 0) return QValidator::Invalid;
    return value <= kMaximum ? QValidator::Acceptable : QValidator::Intermediate;
}

void MaxLinesSpinBox::fixup(QString& input) const {
    input = QString::number(ValueOf(input));
}

}  // namespace tarnwell
