#pragma once
// The directory read: an open folder and blocking reads that fill a buffer with
// FILE_NOTIFY_INFORMATION records, interruptible from another thread.
//
// Threads: OpenDirectory and ReadDirectoryChanges on the worker thread;
// StopSignal::Raise from any thread; CloseDirectory on the thread that owns the
// handle once no read can run on it any more.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnwell {

class DirectoryHandleImpl;
// Opaque handle of an open folder; nullptr is the invalid handle.
using FolderHandle = DirectoryHandleImpl*;

// Wakes a waiting read at once and keeps every later read from waiting.
// Created before the worker runs, so a stop that comes while the folder is
// still being opened is not lost.
class StopSignal {
  public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise();                        // any thread
    bool Raised() const;                 // any thread
    std::intptr_t NativeHandle() const;  // eventfd on Linux, event HANDLE on Windows

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Opens the folder for change reading (CreateFileA with FILE_LIST_DIRECTORY,
// share read | delete, backup semantics). Returns nullptr for a missing path, a
// file, no permission or an empty name. Changes are recorded from the first
// read on, not from the open.
FolderHandle OpenDirectory(const std::string& path);

enum class ReadOutcome {
    Filled,       // success: the buffer holds records, or none at all (an overflow)
    Failed,       // the read failed ("Cannot Read")
    Interrupted,  // the stop signal was raised
};

// Waits until the system has something to report for the folder, then fills
// `buffer` (all `size` bytes cleared by the caller) with a chain of records.
// Records that do not fit are kept for the next read.
ReadOutcome ReadDirectoryChanges(FolderHandle handle, std::byte* buffer, std::size_t size,
                                 bool watchSubtree, std::uint32_t filter, const StopSignal& stop);

// A message for the user that the reads so far left behind, given once per
// open folder: on Linux, that the system's limit on watches keeps folders
// unwatched. Empty when there is none. Worker thread, between reads.
std::string TakeReadNotice(FolderHandle handle);

// Closes a handle that OpenDirectory returned; nullptr is ignored.
void CloseDirectory(FolderHandle handle);

}  // namespace tarnwell
