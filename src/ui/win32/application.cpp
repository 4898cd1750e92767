#include "ui/win32/application.h"

#include <exception>
#include <memory>
#include <stdexcept>

#include "platform/help_viewer.h"
#include "ui/app_constants.h"
#include "ui/watch_services.h"
#include "ui/win32/fMain.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/win32_dispatcher.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

HelpRequestServices ProgramHelpServices() {
    auto viewer = std::make_shared<std::unique_ptr<HelpViewer>>();
    HelpRequestServices services;
    services.executableFolder = [] { return ExecutableFolder(); };
    services.findViewer = [viewer] {
        *viewer = FindHelpViewer();
        return *viewer != nullptr;
    };
    services.isFile = [](const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    };
    services.showHelp = [viewer](const std::string& file, unsigned command, std::uint32_t data) {
        if (!*viewer) return;
        (*viewer)->Show(file, HelpViewOf(command), data);
    };
    services.warn = [](const std::string& text) {
        // No owner, so the program's windows stay usable while it is up.
        ShowMessageBox(nullptr, text, AppConstants::kProductName, MB_OK | MB_ICONWARNING);
    };
    return services;
}

int RunTarnwell(int showCommand) {
    std::unique_ptr<Win32Dispatcher> dispatcher;
    std::unique_ptr<WatchServices> services;
    std::unique_ptr<TfrmMain> frmMain;
    try {
        dispatcher = std::make_unique<Win32Dispatcher>();
        services = std::make_unique<WatchServices>();
        frmMain = std::make_unique<TfrmMain>(WorkerContext{*dispatcher, services->Batch()},
                                             ProgramHelpServices());
        TfrmMain* window = frmMain.get();
        SetKeyFilter([window](const MSG& message) { return window->FilterKey(message); });
        frmMain->Show(showCommand);
        RunMessageLoop();
    } catch (const std::exception& error) {
        ShowErrorMessage(error.what());
    } catch (...) {
        ShowErrorMessage({});
    }
    SetKeyFilter({});
    if (frmMain) frmMain->StopAllWatches();
    // The pages, and with them their workers, go before what the workers use.
    frmMain.reset();
    services.reset();
    dispatcher.reset();
    return 0;
}

}  // namespace tarnwell::win32
