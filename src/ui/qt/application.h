#pragma once
// The application object and the run of the program: start-up, the message
// loop and the end of the run. An error that escapes an event handler is shown
// to the user and the loop goes on. User-interface thread only.

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace tarnwell {

// The text of the error display (see the toolkit-neutral ErrorDisplayText).
QString ErrorDisplayText(const QString& message);

// The error display: a box with the application title as caption, the error
// icon and OK.
void ShowErrorMessage(const QString& message);

// The description of a failure as the error display shows it; empty for a
// failure that carries none.
QString FailureDescription(std::exception_ptr failure);

// Runs the work of an event handler and shows a failure that escapes it on the
// error display. Qt leaves an exception that passes through its event handling
// undefined, so handlers that can fail catch here rather than count on notify.
void ReportFailures(const std::function<void()>& work);

class TarnwellApplication : public QApplication {
    Q_OBJECT

  public:
    TarnwellApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Sets up the run on `app`, runs the message loop until the main window is
// closed or the system asks the program to end (SIGTERM, SIGINT, SIGHUP), and
// ends the run: every running watch stopped, every log closed, the windows
// destroyed. Returns the process's exit code (0, also after an error in
// start-up, which is shown first).
int RunTarnwell(TarnwellApplication& app);

}  // namespace tarnwell
