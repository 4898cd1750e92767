#include "ui/qt/application.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/end_requests.h"
#include "ui/app_constants.h"
#include "ui/main_window_commands.h"
#include "ui/qt/fMain.h"
#include "ui/qt/help.h"
#include "ui/qt/plain_message_box.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/qt/qt_system_text.h"
#include "ui/watch_services.h"

namespace tarnwell {

QString ErrorDisplayText(const QString& message) {
    return FromSystemText(ErrorDisplayText(ToSystemText(message)));
}

void ShowErrorMessage(const QString& message) {
    PlainMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                        ErrorDisplayText(message), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorDisplay"));
    box.exec();
}

QString FailureDescription(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QString();
    }
}

void ReportFailures(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        ShowErrorMessage(FailureDescription(std::current_exception()));
    }
}

namespace {

// Ends the run when the system asks for it (logout, kill, Ctrl+C) the way
// closing the main window does: the event loop returns and the run's own end
// stops every watch and closes every log. Leaving every loop, nested ones
// included, also gets past a message box or dialog that is open right now.
class EndRequestListener {
  public:
    EndRequestListener() {
        const int descriptor = CatchEndRequests();
        if (descriptor < 0) return;
        notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            if (TakeEndRequests() == 0) return;
            requested_ = true;
            QCoreApplication::exit(0);
        });
    }

    bool Requested() const { return requested_; }

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
    bool requested_ = false;
};

}  // namespace

TarnwellApplication::TarnwellApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(AppConstants::kProductName));
}

bool TarnwellApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The handler's work is lost, but the program and its watches go on.
        ShowErrorMessage(FailureDescription(std::current_exception()));
        return false;
    }
}

int RunTarnwell(TarnwellApplication& app) {
    std::unique_ptr<QtDispatcher> dispatcher;
    std::unique_ptr<WatchServices> services;
    std::unique_ptr<TfrmMain> frmMain;
    EndRequestListener endRequests;
    try {
        dispatcher = std::make_unique<QtDispatcher>();
        services = std::make_unique<WatchServices>();
        frmMain = std::make_unique<TfrmMain>(WatchContext{*dispatcher, services->Batch()});
        InstallHelpRouting(frmMain.get());
        frmMain->show();
        app.exec();
    } catch (...) {
        ShowErrorMessage(FailureDescription(std::current_exception()));
    }

    if (frmMain) {
        frmMain->StopAllWatches();
        // A log file whose last lines could not be written says so before the
        // program goes, or the user would never learn of it. A run ended from
        // outside has nobody to press OK (a logout would hang on the box), so
        // there the notice goes to the standard error stream.
        for (TfrmWatcher* page : frmMain->Pages()) {
            QMessageBox* notice = page->LogFailureNotice();
            if (notice == nullptr) continue;
            if (endRequests.Requested())
                std::fprintf(stderr, "%s\n", notice->text().toLocal8Bit().constData());
            else
                notice->exec();
        }
    }
    CloseHelp();
    // The pages, and with them their workers, go before what the workers use.
    frmMain.reset();
    services.reset();
    dispatcher.reset();
    return 0;
}

}  // namespace tarnwell
