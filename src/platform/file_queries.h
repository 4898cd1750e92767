#pragma once
// Size and owner of a path, as the batch processing asks for them per record.
// Called on the user-interface thread only (inside the batch processing).

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwell {

class FileQueries {
  public:
    virtual ~FileQueries() = default;

    // Called once before every batch: caches (account names) live at most
    // from one call to the next.
    virtual void BeginBatch() {}

    // The low 32 bits of the size of the file or folder; 0 when it cannot be read.
    virtual std::uint32_t SizeOf(const std::string& path) = 0;

    // The owner as domain, "\", account name; empty when it cannot be determined.
    virtual std::string OwnerOf(const std::string& path) = 0;
};

std::unique_ptr<FileQueries> MakeFileQueries();

}  // namespace tarnwell
