#pragma once
// The four outputs of a matching change record: the row, the log line, the
// count label, and the trim of the results list. The formatting is pure; the
// outputs write through PageSurface and a C stream.
// User-interface thread only (the formatting functions: any thread).

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/change_record.h"
#include "engine/page_surface.h"
#include "engine/watch_settings.h"

namespace tarnwell {

// Size as "%lu" writes it.
std::string FormatSize(std::uint32_t size);

ResultRow FormatResultRow(const std::string& timeStamp, const ChangeRecord& record);

// CSV: %s,"%s","%s",%lu,"%s"\r\n   Tab (any other format): %s\t%s\t%s\t.%lu\t%s\r\n
// Appends to `line` so a caller can reuse one buffer.
void FormatLogLine(std::string& line, std::int32_t logFormat, const std::string& timeStamp,
                   const ChangeRecord& record);

// ChangeCount as "%i" writes it.
std::string FormatChangeCount(std::int32_t changeCount);

void AddResultRow(PageSurface& page, const std::string& timeStamp, const ChangeRecord& record);

// One write through the stream's buffer, no flush. False when the stream
// reports a failure.
bool WriteLogLine(std::FILE* logFile, std::int32_t logFormat, const std::string& timeStamp,
                  const ChangeRecord& record);

void ShowChangeCount(PageSurface& page, std::int32_t changeCount);

// Deletes the first row when the list holds more rows than the maximum, read
// anew at every call: at most one row per call.
void TrimResults(PageSurface& page);

}  // namespace tarnwell
