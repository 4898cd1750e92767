#include "ui/application.h"

#include <QMessageBox>
#include <exception>
#include <memory>

#include "ui/app_constants.h"
#include "ui/fMain.h"
#include "ui/help.h"
#include "ui/plain_message_box.h"
#include "ui/qt_dispatcher.h"
#include "ui/watch_services.h"

namespace tarnwell {

QString ErrorDisplayText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + QLatin1Char('.');
    return message;
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

TarnwellApplication::TarnwellApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(AppConstants::ProductName));
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
        // program goes, or the user would never learn of it.
        for (TfrmWatcher* page : frmMain->Pages())
            if (QMessageBox* notice = page->LogFailureNotice()) notice->exec();
    }
    // The pages, and with them their workers, go before what the workers use.
    frmMain.reset();
    services.reset();
    dispatcher.reset();
    return 0;
}

}  // namespace tarnwell
