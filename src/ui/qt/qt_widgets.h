#pragma once
// What the Qt windows build alike: named buttons and groups, and dialogs
// placed over the main window. User-interface thread only.

#include <QString>

class QGroupBox;
class QPushButton;
class QWidget;

namespace tarnwell {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent);
QGroupBox* MakeGroup(const char* name, const QString& caption, QWidget* parent);

// Centres `dialog` on the main window that owns it, directly or through
// other dialogs, when that window is on screen; at every opening, so also
// after the user moved either.
void CentreOnMainWindow(QWidget* dialog);

}  // namespace tarnwell
