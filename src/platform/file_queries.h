#pragma once
// Size and owner of a path, as the batch processing asks for them per record.
// Called on the user-interface thread only (inside the batch processing).

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwell {

// What a record shows of the file it names.
struct FileFacts {
    // The low 32 bits of the size of the file or folder; 0 when it cannot be read.
    std::uint32_t size = 0;
    // The owner as domain, "\", account name; empty when it cannot be determined.
    std::string owner;
};

class FileQueries {
  public:
    virtual ~FileQueries() = default;

    // Called once before every batch: caches (account names) live at most
    // from one call to the next.
    virtual void BeginBatch() {}

    // Size and owner of one path, both from one look at it where the system
    // has a call that gives both: they then describe the same file even when
    // another takes its name meanwhile.
    virtual FileFacts FactsOf(const std::string& path) = 0;
};

std::unique_ptr<FileQueries> MakeFileQueries();

}  // namespace tarnwell
