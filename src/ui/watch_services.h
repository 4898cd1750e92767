#pragma once
// The operating-system services that every watch's batches use, built once
// per run and shared by all workers (their batches run one at a time on the
// user-interface thread). Construction: user-interface thread.

#include <memory>

#include "engine/process_changes.h"
#include "platform/file_queries.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"

namespace tarnwell {

class WatchServices {
  public:
    WatchServices();
    WatchServices(const WatchServices&) = delete;
    WatchServices& operator=(const WatchServices&) = delete;

    BatchServices& Batch() { return batch_; }

  private:
    std::unique_ptr<SystemText> text_;
    std::unique_ptr<FileQueries> files_;
    RegionalSettings regional_;
    BatchServices batch_;
};

}  // namespace tarnwell
