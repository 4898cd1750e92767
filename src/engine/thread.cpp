#include "engine/thread.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "engine/notify_codes.h"

namespace tarnwell {

CProcessThread::CProcessThread(UiDispatcher& dispatcher, BatchServices& services)
    : TThread(dispatcher), services_(services) {
    OnTerminate = [this](TThread& sender) { ThreadTerminated(sender); };
}

CProcessThread::~CProcessThread() {
    // Execute reads this object's members and stop_: the thread must be gone
    // before they are. The handle and the log file belong to the page's stop.
    Terminate();
}

void CProcessThread::Shutdown() {
    Terminate();
}

void CProcessThread::StopRequested() {
    stop_.Raise();
}

void CProcessThread::Execute() {
    DirectoryHandle = OpenDirectory(Directory);
    if (DirectoryHandle == nullptr) {
        ShowMessageAndWait("Cannot Open");
        return;
    }
    // The records hold 32-bit fields; the backend fills the buffer DWORD-aligned.
    alignas(std::uint32_t) std::array<std::byte, kChangeBufferSize> buffer;
    const std::function<void()> processChanges = [this] { ProcessChanges(); };
    while (!Terminated()) {
        buffer.fill(std::byte{0});
        switch (ReadDirectoryChanges(DirectoryHandle, buffer.data(), buffer.size(),
                                     IncludeSubdirectories != 0, Filter, stop_)) {
            case ReadOutcome::Interrupted:
                return;
            case ReadOutcome::Failed:
                // "Cannot Read" alone would not say that the system's watch
                // limit was the cause, nor how to raise it.
                notice_ = TakeReadNotice(DirectoryHandle);
                if (!notice_.empty() && !Synchronize([this] { ShowNotice(); })) return;
                ShowMessageAndWait("Cannot Read");
                return;
            case ReadOutcome::Filled:
                break;
        }
        CurrentRecord = 0;
        ChangeBuffer = buffer.data();
        notice_ = TakeReadNotice(DirectoryHandle);
        const bool handedOver = Synchronize(processChanges);
        // The buffer dies with this call; nothing may keep pointing into it.
        ChangeBuffer = nullptr;
        if (!handedOver) return;
    }
}

void CProcessThread::ProcessChanges() {
    if (OwnerPage == nullptr) throw std::logic_error("the watch has no page to report to");
    BatchTarget target{Directory, Mask,    *OwnerPage,  OutputToFile,
                       LogFormat, LogFile, ChangeCount, logFailed_};
    ProcessChangeBatch(ChangeBuffer, kChangeBufferSize, CurrentRecord, target, services_);
    // After the batch, so the marks it explains are in the list already.
    ShowNotice();
}

void CProcessThread::ShowNotice() {
    if (notice_.empty() || OwnerPage == nullptr) return;
    const std::string text = std::move(notice_);
    notice_.clear();
    OwnerPage->ShowWatchNotice(text);
}

void CProcessThread::ThreadTerminated(TThread& /*sender*/) {
    Ended = 1;
}

}  // namespace tarnwell
