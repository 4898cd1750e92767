#pragma once
// The whole-number field of "Maximum Lines :". Unlike a plain spin box it
// lets a number beyond the range be typed and brings it to the nearer bound
// when the field loses the focus; an empty field counts as 0.
// User-interface thread only.

#include <QSpinBox>

namespace tarnwell {

class MaxLinesSpinBox : public QSpinBox {
    Q_OBJECT

  public:
    explicit MaxLinesSpinBox(QWidget* parent = nullptr);

    // What the text says right now, brought into the range; typing that has
    // not been confirmed yet counts too. Empty or unreadable: 0.
    int CurrentValue() const;

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

  private:
    // Every record of a batch asks for the value, and the text changes only
    // when it is edited: comparing a shared text is cheaper than reading it.
    // (The spin box sets its text with the line edit's signals blocked, so
    // no signal tells of every change.)
    mutable QString readText_;
    mutable int readValue_ = 0;
};

}  // namespace tarnwell
