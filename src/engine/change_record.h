#pragma once
// One reported change and the words reports use for action codes.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/notify_codes.h"

namespace tarnwell {

using ChangeAction = std::uint32_t;  // FILE_ACTION_* code; 0 for an overflow

// "Created", "Deleted", "Modified", "Renamed - From", "Renamed - To"; empty for
// any other code.
std::string_view ActionWord(ChangeAction action);

struct ChangeRecord {
    std::string RelativeName;
    ChangeAction Action = 0;
    std::string_view ActionWord;  // points at a static word
    std::string FullPath;
    std::uint32_t Size = 0;
    std::string Owner;
};

}  // namespace tarnwell
