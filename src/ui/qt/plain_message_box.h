#pragma once
// A message box whose text is always shown as plain text. Texts that reach a
// box often hold something from outside the program (a server's reason
// phrase, a path, a file name), and QMessageBox's automatic format would
// render such a text as rich text, with links the user can click through to
// the shell. Every box of the program is one of these. User-interface thread
// only.

#include <QMessageBox>

#include "ui/app_constants.h"

namespace tarnwell {

class PlainMessageBox : public QMessageBox {
  public:
    PlainMessageBox(Icon icon, const QString& caption, const QString& text,
                    StandardButtons buttons = NoButton, QWidget* parent = nullptr)
        : QMessageBox(icon, caption, QString(), buttons, parent) {
        // Before the text, so it is never parsed as rich text even once.
        setTextFormat(Qt::PlainText);
        setText(text);
    }
};

// A box of the program's own with OK, captioned with the product's name.
class ProductMessageBox : public PlainMessageBox {
  public:
    ProductMessageBox(Icon icon, const QString& text, QWidget* parent = nullptr)
        : PlainMessageBox(icon, QString::fromLatin1(AppConstants::kProductName), text,
                          QMessageBox::Ok, parent) {}
};

}  // namespace tarnwell
