#include "engine/change_record.h"

namespace tarnwell {

std::string_view ActionWord(ChangeAction action) {
    switch (action) {
        case FILE_ACTION_ADDED:
            return "Created";
        case FILE_ACTION_REMOVED:
            return "Deleted";
        case FILE_ACTION_MODIFIED:
            return "Modified";
        case FILE_ACTION_RENAMED_OLD_NAME:
            return "Renamed - From";
        case FILE_ACTION_RENAMED_NEW_NAME:
            return "Renamed - To";
        default:
            // Includes 0, the code of the empty record an overflow leaves behind.
            return {};
    }
}

}  // namespace tarnwell
