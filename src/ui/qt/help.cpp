// Help: every request ends in DisplayHelp, whose rules (the file beside the
// executable, one warning per run, the HTML Help command) are HelpRequests';
// here they meet the program's help window and message box. F1 reaches it
// through an application-wide event filter.

#include "ui/qt/help.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/help_viewer.h"
#include "ui/help_requests.h"
#include "ui/main_window_commands.h"
#include "ui/qt/help_window.h"
#include "ui/qt/plain_message_box.h"

namespace tarnwell {
namespace {

// The framework's help request that names a place on the screen.
constexpr std::uint16_t kHelpPositionNotice = 13;

void ShowWarning(const std::string& text) {
    // Ownerless and not modal, so the program's windows stay usable; the
    // request still waits for the box to close before the next one is handled.
    ProductMessageBox box(QMessageBox::Warning, QString::fromStdString(text));
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

bool IsFileNotFolder(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// The program's own help window once it is made; one for the whole run.
std::unique_ptr<HelpViewer>& Viewer() {
    static std::unique_ptr<HelpViewer> viewer;
    return viewer;
}

void ShowInViewer(const std::string& file, unsigned command, std::uint32_t data) {
    HelpViewer* viewer = Viewer().get();
    if (viewer == nullptr) return;
    viewer->Show(file, HelpViewOf(command), data);
}

HelpRequests& Requests() {
    static HelpRequests requests(ProgramHelpServices());
    return requests;
}

class HelpRouter : public QObject {
  public:
    explicit HelpRouter(QWidget* mainWindow) : QObject(mainWindow), mainWindow_(mainWindow) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 ||
            (key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) != Qt::NoModifier)
            return false;
        // Key events reach the window object before its widgets; only the
        // widget that the key is for decides.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || mainWindow_ == nullptr) return false;

        QWidget* anchor = nullptr;
        std::uint32_t context = 0;
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            // A menu is a window of its own: it belongs to the main window when
            // the chain of menus that opened it starts inside the main window.
            QWidget* opener = menu;
            while (qobject_cast<QMenu*>(opener) != nullptr && opener->parentWidget() != nullptr)
                opener = opener->parentWidget();
            if (qobject_cast<QMenu*>(opener) != nullptr || opener->window() != mainWindow_)
                return false;
            anchor = menu;
            context = kMenuContext;
        } else if (widget->window() == mainWindow_) {
            anchor = mainWindow_;
            context = kMainWindowContext;
        } else {
            return false;  // the About box, the proxy dialog, message boxes: no context
        }

        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();  // F1 is help here, whatever a shortcut says
            return true;
        }
        if (key->isAutoRepeat()) return true;  // a held key asks once

        const QPoint corner = anchor->mapToGlobal(QPoint(0, 0));
        const std::intptr_t position =
            (static_cast<std::intptr_t>(corner.y() & 0xFFFF) << 16) | (corner.x() & 0xFFFF);
        bool callHelp = true;
        ApplicationEvents1Help(kHelpPositionNotice, position, callHelp);
        ApplicationEvents1Help(kHelpContextCommand, context, callHelp);
        return true;
    }

  private:
    QPointer<QWidget> mainWindow_;
};

}  // namespace

HelpRequestServices ProgramHelpServices() {
    HelpRequestServices services;
    services.executableFolder = &ExecutableFolder;
    services.findViewer = [] {
        // The help window is part of the program: there is always one.
        Viewer() = MakeHelpWindowViewer();
        return true;
    };
    services.isFile = &IsFileNotFolder;
    services.showHelp = &ShowInViewer;
    services.warn = &ShowWarning;
    return services;
}

void SetHelpServices(HelpRequestServices services) {
    Viewer().reset();
    Requests() = HelpRequests(std::move(services));
}

bool LoadHtmlHelp() {
    return Requests().LoadHtmlHelp();
}

void DisplayHelp(std::uint16_t command, std::uint32_t data) {
    Requests().DisplayHelp(command, data);
}

void CloseHelp() {
    Viewer().reset();
}

bool ApplicationEvents1Help(std::uint16_t command, std::intptr_t data, bool& callHelp) {
    DisplayHelp(command, static_cast<std::uint32_t>(data));
    callHelp = false;
    return false;
}

void InstallHelpRouting(QWidget* mainWindow) {
    if (mainWindow == nullptr || qApp == nullptr) return;
    static const QString kRouterName = QStringLiteral("tarnwellHelpRouter");
    if (mainWindow->findChild<QObject*>(kRouterName, Qt::FindDirectChildrenOnly) != nullptr)
        return;  // installed already: a second filter would ask for help twice
    auto* router = new HelpRouter(mainWindow);
    router->setObjectName(kRouterName);
    qApp->installEventFilter(router);
}

}  // namespace tarnwell
