#include "ui/main_window_commands.h"

namespace tarnwell {

std::string ErrorDisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
    return message;
}

WatchPage& MainWindowCommands::AddWatchPage() {
    WatchPage& page = view_.AppendPage();
    view_.Activate(view_.PageCount() - 1);
    return page;
}

WatchPage* MainWindowCommands::ActivePage() {
    const int index = view_.ActiveIndex();
    if (index < 0 || index >= view_.PageCount()) return nullptr;
    return &view_.PageAt(index);
}

void MainWindowCommands::FormShow() {
    view_.LoadHelp();
    AddWatchPage();
}

void MainWindowCommands::tbbStartClick() {
    WatchPage* page = ActivePage();
    if (page != nullptr && page->Worker() == nullptr) page->StartWatch();
}

void MainWindowCommands::tbbStopClick() {
    if (WatchPage* page = ActivePage()) page->StopWatch();
}

void MainWindowCommands::CopyResultstoClipboard1Click() {
    if (WatchPage* page = ActivePage()) view_.SetClipboardText(page->ResultsText());
}

void MainWindowCommands::ClearResultsList1Click() {
    if (WatchPage* page = ActivePage()) page->Clear();
}

void MainWindowCommands::StepPage(int step) {
    const int target = view_.ActiveIndex() + step;
    if (target < 0 || target >= view_.PageCount()) return;
    view_.Activate(target);
}

void MainWindowCommands::StopAllWatches() {
    for (int index = 0; index < view_.PageCount(); ++index) {
        WatchPage& page = view_.PageAt(index);
        if (page.Worker() != nullptr) page.StopWatch();
    }
}

}  // namespace tarnwell
