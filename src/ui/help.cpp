// Help: every request ends in DisplayHelp, which finds the help file beside the
// executable, warns once per run when it is missing, and hands the request to
// the program's help window. F1 reaches it through an application-wide event filter.

#include "ui/help.h"

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
#include "ui/app_constants.h"
#include "ui/help_window.h"
#include "ui/plain_message_box.h"

namespace tarnwell {
namespace {

// The HTML Help commands that the help requests turn into.
constexpr unsigned kHhDisplayToc = 1;
constexpr unsigned kHhDisplayIndex = 2;
constexpr unsigned kHhHelpContext = 0x0F;

// The help requests of the framework and of the Help menu.
constexpr std::uint16_t kHelpContextCommand = 1;
constexpr std::uint16_t kHelpContentsCommand = 3;
constexpr std::uint16_t kHelpPositionNotice = 13;
constexpr std::uint16_t kHelpTableOfContentsCommand = 999;

// The only context any window carries: the main window's, for the window and
// every watch page in it. Menu items carry none.
constexpr std::uint32_t kMainWindowContext = 1028;
constexpr std::uint32_t kMenuContext = 0;

struct HelpState {
    HelpServices services;
    std::unique_ptr<HelpViewer> viewer;  // the program's own help window, unless faked
    bool lookedForViewer = false;
    bool viewerFound = false;
    bool helpFileWarned = false;
    // The warning box leaves the windows usable, so a request can arrive while
    // it is open; it must not stack a second warning.
    bool warningOpen = false;
};

HelpState& State() {
    static HelpState state;
    return state;
}

void ShowWarning(const std::string& text) {
    // Ownerless and not modal, so the program's windows stay usable; the
    // request still waits for the box to close before the next one is handled.
    PlainMessageBox box(QMessageBox::Warning, QString::fromUtf8(AppConstants::ProductName),
                        QString::fromStdString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

std::string HelpFilePath() {
    auto& services = State().services;
    const std::string folder =
        services.executableFolder ? services.executableFolder() : ExecutableFolder();
    return folder + AppConstants::HelpFileName;
}

bool IsFileNotFolder(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

void CallHelp(const std::string& file, unsigned command, std::uint32_t data) {
    auto& state = State();
    if (!state.viewerFound) return;  // no viewer: the request is dropped
    if (state.services.showHelp) {
        state.services.showHelp(file, command, data);
        return;
    }
    if (!state.viewer) return;
    const HelpView view = command == kHhHelpContext    ? HelpView::Context
                          : command == kHhDisplayIndex ? HelpView::Index
                                                       : HelpView::TableOfContents;
    state.viewer->Show(file, view, data);
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

void SetHelpServices(HelpServices services) {
    auto& state = State();
    state = HelpState{};
    state.services = std::move(services);
}

bool LoadHtmlHelp() {
    auto& state = State();
    if (state.lookedForViewer) return state.viewerFound;
    state.lookedForViewer = true;
    if (state.services.findViewer) {
        state.viewerFound = state.services.findViewer();
    } else {
        // The help window is part of the program: there is always one.
        state.viewer = MakeHelpWindowViewer();
        state.viewerFound = true;
    }
    return state.viewerFound;
}

void DisplayHelp(std::uint16_t command, std::uint32_t data) {
    auto& state = State();
    const std::string path = HelpFilePath();
    if (IsFileNotFolder(path) || state.helpFileWarned) {
        switch (command) {
            case kHelpContextCommand:
                CallHelp(path, kHhHelpContext, data);
                break;
            case kHelpContentsCommand:
                CallHelp(path, kHhDisplayIndex, data);
                break;
            case kHelpTableOfContentsCommand:
                CallHelp(path, kHhDisplayToc, 0);
                break;
            default:
                break;
        }
        return;
    }
    if (state.warningOpen) return;
    state.warningOpen = true;
    const std::string text = "Cannot find Help File : " + path;
    if (state.services.warn)
        state.services.warn(text);
    else
        ShowWarning(text);
    state.warningOpen = false;
    state.helpFileWarned = true;
}

void CloseHelp() {
    State().viewer.reset();
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
