#pragma once
// The value types of a watch's settings. The settings themselves (Directory,
// Mask, OwnerPage, Filter, IncludeSubdirectories, LogFile, OutputToFile,
// LogFormat, LogFileName) are members of the worker, CProcessThread, which the
// page fills before the worker runs.

#include <cstdint>

#include "engine/notify_codes.h"

namespace tarnwell {

// An OR of FILE_NOTIFY_CHANGE_* bits; never 0 in a running worker.
using NotifyFilter = std::uint32_t;

// Layout of the log lines.
enum LogFormat : std::int32_t {
    LogFormatCsv = 1,
    LogFormatTab = 2,
};

}  // namespace tarnwell
