#pragma once
// The change reader worker of one running watch: opens the watched folder,
// reads its change notifications in a loop and hands every filled buffer to the
// user-interface thread, where ProcessChanges turns it into reports.
//
// Threads: the page creates, fills, resumes, shuts down and destroys it on the
// user-interface thread; Execute runs on the worker thread; ProcessChanges and
// ThreadTerminated run on the user-interface thread.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/page_surface.h"
#include "engine/process_changes.h"
#include "engine/thread_base.h"
#include "engine/watch_settings.h"
#include "platform/directory_reader.h"

namespace tarnwell {

class CProcessThread : public TThread {
  public:
    // Created suspended: texts empty, counts 0, OnTerminate = ThreadTerminated.
    // `services` must outlive the worker.
    CProcessThread(UiDispatcher& dispatcher, BatchServices& services);
    // Ends the thread first if Shutdown has not; closes neither DirectoryHandle
    // nor LogFile, which the page's stop closes after Shutdown.
    ~CProcessThread() override;

    // User-interface thread. Ends the worker at once; after it returns the worker
    // touches nothing of the page, the log file or the handle. Not from inside
    // this worker's own ProcessChanges (a modal box run from the page there):
    // the worker waits for that batch to finish.
    void Shutdown();

    // Members in their declared order; settings are written by the page before
    // Resume and only read afterwards.
    std::string Directory;
    std::string Mask;
    std::size_t CurrentRecord = 0;
    PageSurface* OwnerPage = nullptr;
    std::int32_t Ended = 0;
    FolderHandle DirectoryHandle = nullptr;  // nullptr: none, or the open failed
    NotifyFilter Filter = 0;
    std::int32_t ChangeCount = 0;
    std::int32_t IncludeSubdirectories = 0;
    std::FILE* LogFile = nullptr;
    std::int32_t OutputToFile = 0;
    std::int32_t LogFormat = 0;
    std::string LogFileName;

  protected:
    void Execute() override;
    void StopRequested() override;

  private:
    void ProcessChanges();
    void ShowNotice();  // user-interface thread, inside a hand-over
    void ThreadTerminated(TThread& sender);

    BatchServices& services_;
    StopSignal stop_;
    const std::byte* ChangeBuffer = nullptr;  // Execute's buffer, during a hand-over
    std::string notice_;                      // taken after a read, shown with its batch
    bool logFailed_ = false;
};

}  // namespace tarnwell
