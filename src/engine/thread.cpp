#include "engine/thread.h"

#include <array>
#include <chrono>
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
    // A hand-over costs two thread wake-ups and a turn of the user-interface
    // thread's event loop whatever it carries. When changes trickle in, each
    // read would return with one or two of them and pay all of that: reads
    // that follow each other are spaced by a few milliseconds instead, while
    // the system keeps recording, so they come with what has gathered. A
    // change after a quiet spell is read at once, and so is the next read
    // after one that came back well filled: a burst has more waiting, and
    // spacing its reads would only make it wait.
    constexpr auto kGatherTime = std::chrono::milliseconds(5);
    std::chrono::steady_clock::time_point lastRead;
    bool trickling = false;
    while (!Terminated()) {
        const auto sinceLastRead = std::chrono::steady_clock::now() - lastRead;
        if (trickling && sinceLastRead < kGatherTime &&
            !WaitUnlessTerminated(kGatherTime - sinceLastRead))
            return;
        buffer.fill(std::byte{0});
        const ReadOutcome outcome =
            ReadDirectoryChanges(DirectoryHandle, buffer.data(), buffer.size(),
                                 IncludeSubdirectories != 0, Filter, stop_);
        lastRead = std::chrono::steady_clock::now();
        switch (outcome) {
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
        // The batch leaves CurrentRecord at its last record.
        trickling = CurrentRecord < kChangeBufferSize / 2;
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
