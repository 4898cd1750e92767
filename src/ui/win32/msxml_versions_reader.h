#pragma once
// The versions document read by the Windows XML service (MSXML 6 through
// COM): it honours the encoding declaration and the byte-order mark, resolves
// no external entities, and hands the product's Version and URL texts to the
// neutral update check. User-interface thread only, inside the thread's
// single-threaded apartment.

#include "ui/update_check_flow.h"

namespace tarnwell::win32 {

class MsxmlVersionsReader final : public VersionsReader {
  public:
    // Names match by full name or local name, case-sensitively; inside an
    // element that belongs to a namespace only children of that namespace count.
    VersionsEntry Read(const std::string& body, const std::string& product) override;
};

}  // namespace tarnwell::win32
