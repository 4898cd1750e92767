#pragma once
// Turns one filled read buffer into reports: walk the records, convert and
// match each name, and for every match count it, derive the full path, word,
// size and owner, and hand the record to the outputs; trim the list after
// every record. User-interface thread only (inside the worker's hand-over).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/page_surface.h"
#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"

namespace tarnwell {

// The operating-system services a batch uses; tests pass fakes.
struct BatchServices {
    const SystemText& text;
    FileQueries& files;
    const PathSyntax& syntax;
    const RegionalSettings& regional;
    std::function<LocalDateTime()> clock;  // read anew for every output
};

// The worker's members that a batch reads and writes.
struct BatchTarget {
    const std::string& Directory;
    const std::string& Mask;
    PageSurface& OwnerPage;
    std::int32_t OutputToFile;
    std::int32_t LogFormat;
    std::FILE* LogFile;
    std::int32_t& ChangeCount;
    // Set once the first log write of the run has failed, so the page is told once.
    bool& LogFailed;
};

// `currentRecord` is the offset of the first record (0); the walk moves it.
void ProcessChangeBatch(const std::byte* buffer, std::size_t size, std::size_t& currentRecord,
                        BatchTarget& target, BatchServices& services);

}  // namespace tarnwell
