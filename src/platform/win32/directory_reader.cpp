// The directory read on Windows: an overlapped ReadDirectoryChangesW waited on
// together with the stop event, so a stop never has to wait for a change.

#include "platform/directory_reader.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <vector>

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

    enum class Issue { Pending, Overflow, Failed };

    Issue IssueRead(bool watchSubtree, DWORD filter) {
        std::memset(&overlapped, 0, sizeof overlapped);
        overlapped.hEvent = done;
        ResetEvent(done);
        if (ReadDirectoryChangesW(
                folder, pendingBuffer.data(), static_cast<DWORD>(pendingBuffer.size()),
                watchSubtree ? TRUE : FALSE, filter, nullptr, &overlapped, nullptr)) {
            pending = true;
            return Issue::Pending;
        }
        return GetLastError() == ERROR_NOTIFY_ENUM_DIR ? Issue::Overflow : Issue::Failed;
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
    if (handle->overflowWaiting) {
        handle->overflowWaiting = false;
        return ReadOutcome::Filled;  // the caller's cleared buffer is the overflow
    }

    // Changes are recorded from the first read on: the first call starts it.
    if (!handle->pending) {
        if (handle->pendingBuffer.empty()) handle->pendingBuffer.resize(size);
        switch (handle->IssueRead(watchSubtree, filter)) {
            case DirectoryHandleImpl::Issue::Pending:
                break;
            case DirectoryHandleImpl::Issue::Overflow:
                return ReadOutcome::Filled;
            case DirectoryHandleImpl::Issue::Failed:
                return ReadOutcome::Failed;
        }
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
    const BOOL ok = GetOverlappedResult(handle->folder, &handle->overlapped, &filled, FALSE);
    handle->pending = false;
    if (!ok) {
        // Windows reports an overflow as a success with no bytes, Wine as
        // ERROR_NOTIFY_ENUM_DIR; both leave the caller's buffer cleared.
        if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) return ReadOutcome::Failed;
        filled = 0;
    }
    // A chain longer than the caller's buffer cannot be cut without breaking
    // its offsets; it is handed over as the overflow it amounts to.
    if (filled <= size) std::memcpy(buffer, handle->pendingBuffer.data(), filled);

    switch (handle->IssueRead(watchSubtree, filter)) {
        case DirectoryHandleImpl::Issue::Pending:
            break;
        case DirectoryHandleImpl::Issue::Overflow:
            handle->overflowWaiting = true;
            break;
        case DirectoryHandleImpl::Issue::Failed:
            // This batch is still good; the next call tries again and reports
            // the failure if it persists.
            break;
    }
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
