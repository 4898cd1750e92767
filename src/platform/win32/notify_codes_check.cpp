// The engine decodes records and builds filters from its own copies of the
// system's change-notification values; a mismatch would silently turn every
// action word wrong. <windows.h> defines the same names as macros, so its
// values are taken first and the macros dropped before the engine's header.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace {

constexpr std::uint32_t kSystemActions[] = {FILE_ACTION_ADDED, FILE_ACTION_REMOVED,
                                            FILE_ACTION_MODIFIED, FILE_ACTION_RENAMED_OLD_NAME,
                                            FILE_ACTION_RENAMED_NEW_NAME};
constexpr std::uint32_t kSystemFilterBits[] = {
    FILE_NOTIFY_CHANGE_FILE_NAME, FILE_NOTIFY_CHANGE_DIR_NAME,   FILE_NOTIFY_CHANGE_ATTRIBUTES,
    FILE_NOTIFY_CHANGE_SIZE,      FILE_NOTIFY_CHANGE_LAST_WRITE, FILE_NOTIFY_CHANGE_LAST_ACCESS,
    FILE_NOTIFY_CHANGE_CREATION,  FILE_NOTIFY_CHANGE_SECURITY};
constexpr std::size_t kSystemHeaderSize = offsetof(FILE_NOTIFY_INFORMATION, FileName);

}  // namespace

#undef FILE_ACTION_ADDED
#undef FILE_ACTION_REMOVED
#undef FILE_ACTION_MODIFIED
#undef FILE_ACTION_RENAMED_OLD_NAME
#undef FILE_ACTION_RENAMED_NEW_NAME
#undef FILE_NOTIFY_CHANGE_FILE_NAME
#undef FILE_NOTIFY_CHANGE_DIR_NAME
#undef FILE_NOTIFY_CHANGE_ATTRIBUTES
#undef FILE_NOTIFY_CHANGE_SIZE
#undef FILE_NOTIFY_CHANGE_LAST_WRITE
#undef FILE_NOTIFY_CHANGE_LAST_ACCESS
#undef FILE_NOTIFY_CHANGE_CREATION
#undef FILE_NOTIFY_CHANGE_SECURITY

#include "engine/notify_codes.h"

static_assert(tarnwell::FILE_ACTION_ADDED == kSystemActions[0]);
static_assert(tarnwell::FILE_ACTION_REMOVED == kSystemActions[1]);
static_assert(tarnwell::FILE_ACTION_MODIFIED == kSystemActions[2]);
static_assert(tarnwell::FILE_ACTION_RENAMED_OLD_NAME == kSystemActions[3]);
static_assert(tarnwell::FILE_ACTION_RENAMED_NEW_NAME == kSystemActions[4]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_FILE_NAME == kSystemFilterBits[0]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_DIR_NAME == kSystemFilterBits[1]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_ATTRIBUTES == kSystemFilterBits[2]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_SIZE == kSystemFilterBits[3]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_LAST_WRITE == kSystemFilterBits[4]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_LAST_ACCESS == kSystemFilterBits[5]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_CREATION == kSystemFilterBits[6]);
static_assert(tarnwell::FILE_NOTIFY_CHANGE_SECURITY == kSystemFilterBits[7]);
static_assert(tarnwell::kAllNotifyBits ==
              (kSystemFilterBits[0] | kSystemFilterBits[1] | kSystemFilterBits[2] |
               kSystemFilterBits[3] | kSystemFilterBits[4] | kSystemFilterBits[5] |
               kSystemFilterBits[6] | kSystemFilterBits[7]));
static_assert(tarnwell::kNotifyHeaderSize == kSystemHeaderSize);
