// The directory read on Windows: an overlapped ReadDirectoryChangesW waited on
// together with the stop event, so a stop never has to wait for a change.

#include "platform/directory_reader.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/completed_read.h"

static_assert(tarnwell::kErrorNotifyEnumDir == ERROR_NOTIFY_ENUM_DIR);

namespace tarnwell {

struct StopSignal::State {
    HANDLE event = nullptr;
    std::atomic<bool> raised{false};
};

StopSignal::StopSignal() : state_(std::make_unique<State>()) {
    // Manual reset: once raised it stays signalled, so every later wait returns.
    state_->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

StopSignal::~StopSignal() {
    if (state_->event != nullptr) CloseHandle(state_->event);
}

void StopSignal::Raise() {
    state_->raised.store(true);
    if (state_->event != nullptr) SetEvent(state_->event);
}

bool StopSignal::Raised() const {
    return state_->raised.load();
}

std::intptr_t StopSignal::NativeHandle() const {
    return reinterpret_cast<std::intptr_t>(state_->event);
}

// The read runs into a buffer of the handle's own, not the caller's: it stays
// pending while the caller's buffer is being processed, so changes made between
// two calls are collected by the system and nothing is lost in the gap.
class DirectoryHandleImpl {
  public:
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE done = nullptr;  // completion event of `overlapped`
    OVERLAPPED overlapped{};
    std::vector<std::byte> pendingBuffer;
    bool pending = false;
    // The system said "overflow" when the read was issued rather than when it
    // completed; the next call reports it.
    bool overflowWaiting = false;

    // Leaves the read pending, or an overflow waiting, or neither when the
    // read could not be issued.
    void IssueRead(bool watchSubtree, DWORD filter) {
        std::memset(&overlapped, 0, sizeof overlapped);
        overlapped.hEvent = done;
        ResetEvent(done);
        pending = ReadDirectoryChangesW(
                      folder, pendingBuffer.data(), static_cast<DWORD>(pendingBuffer.size()),
                      watchSubtree ? TRUE : FALSE, filter, nullptr, &overlapped, nullptr) != FALSE;
        if (!pending) {
            overflowWaiting = JudgeCompletedRead(false, GetLastError(), 0, pendingBuffer.size()) ==
                              CompletedRead::Overflow;
        }
    }

    // The system writes into `pendingBuffer` and `overlapped` until the read has
    // really ended; returning (or freeing them) before that would let a late
    // completion scribble over freed memory.
    void CancelPending() {
        if (!pending) return;
        CancelIoEx(folder, &overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(folder, &overlapped, &ignored, TRUE);
        pending = false;
    }
};

FolderHandle OpenDirectory(const std::string& path) {
    if (path.empty()) return nullptr;
    // FILE_SHARE_WRITE is left out on purpose: others may work on the folder's
    // contents, but not open the folder itself for writing while it is watched.
    HANDLE folder =
        CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return nullptr;

    // A plain file opens with these flags too, and would only fail at the first
    // read; it is refused here, as on every other system.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(folder);
        return nullptr;
    }

    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) {
        CloseHandle(folder);
        return nullptr;
    }
    auto* handle = new DirectoryHandleImpl;
    handle->folder = folder;
    handle->done = done;
    return handle;
}

ReadOutcome ReadDirectoryChanges(FolderHandle handle, std::byte* buffer, std::size_t size,
                                 bool watchSubtree, std::uint32_t filter, const StopSignal& stop) {
    if (handle == nullptr) return ReadOutcome::Failed;
    if (stop.Raised()) {
        handle->CancelPending();
        return ReadOutcome::Interrupted;
    }
    // Changes are recorded from the first read on: the first call starts it.
    // A read that failed to be issued again after the last batch is tried
    // once more here, and the failure reported if it persists.
    if (!handle->pending && !handle->overflowWaiting) {
        if (handle->pendingBuffer.empty()) handle->pendingBuffer.resize(size);
        handle->IssueRead(watchSubtree, filter);
        if (!handle->pending && !handle->overflowWaiting) return ReadOutcome::Failed;
    }
    if (handle->overflowWaiting) {
        handle->overflowWaiting = false;
        return ReadOutcome::Filled;  // the caller's cleared buffer is the overflow
    }

    // The stop event comes first, so a stop wins over a read that completed at
    // the same moment.
    const HANDLE waits[2] = {reinterpret_cast<HANDLE>(stop.NativeHandle()), handle->done};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken != WAIT_OBJECT_0 + 1) {
        handle->CancelPending();
        return woken == WAIT_OBJECT_0 ? ReadOutcome::Interrupted : ReadOutcome::Failed;
    }

    DWORD filled = 0;
    const bool succeeded =
        GetOverlappedResult(handle->folder, &handle->overlapped, &filled, FALSE) != FALSE;
    const DWORD errorCode = succeeded ? ERROR_SUCCESS : GetLastError();
    handle->pending = false;
    switch (JudgeCompletedRead(succeeded, errorCode, filled, size)) {
        case CompletedRead::Records:
            std::memcpy(buffer, handle->pendingBuffer.data(), filled);
            break;
        case CompletedRead::Overflow:
            break;  // the caller's buffer stays cleared
        case CompletedRead::Failed:
            return ReadOutcome::Failed;
    }

    // At once, so the changes made while this batch is processed are kept.
    // This batch is good whatever the new read's fate; the next call reports it.
    handle->IssueRead(watchSubtree, filter);
    return ReadOutcome::Filled;
}

std::string TakeReadNotice(FolderHandle /*handle*/) {
    // ReadDirectoryChangesW has no per-folder limit to run into.
    return {};
}

void CloseDirectory(FolderHandle handle) {
    if (handle == nullptr) return;
    // A worker ended during a hand-over leaves its re-issued read pending.
    handle->CancelPending();
    CloseHandle(handle->folder);
    CloseHandle(handle->done);
    delete handle;
}

}  // namespace tarnwell
