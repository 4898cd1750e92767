#pragma once
// The engine's own copies of the operating system's change-notification values.
// Each backend checks them against its system headers where it has them.

#include <cstddef>
#include <cstdint>

namespace tarnwell {

// Action codes of a notification record.
inline constexpr std::uint32_t FILE_ACTION_ADDED = 1;
inline constexpr std::uint32_t FILE_ACTION_REMOVED = 2;
inline constexpr std::uint32_t FILE_ACTION_MODIFIED = 3;
inline constexpr std::uint32_t FILE_ACTION_RENAMED_OLD_NAME = 4;
inline constexpr std::uint32_t FILE_ACTION_RENAMED_NEW_NAME = 5;

// Bits of the notify filter. Bit 128 has no meaning and is never set.
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_FILE_NAME = 1;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_DIR_NAME = 2;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_ATTRIBUTES = 4;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_SIZE = 8;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_LAST_WRITE = 16;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_LAST_ACCESS = 32;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_CREATION = 64;
inline constexpr std::uint32_t FILE_NOTIFY_CHANGE_SECURITY = 256;
inline constexpr std::uint32_t kAllNotifyBits = 383;  // 0x17F

// The worker's read buffer: fixed, cleared before every read.
inline constexpr std::size_t kChangeBufferSize = 10000;

// FILE_NOTIFY_INFORMATION: three little-endian DWORDs, then the UTF-16 name.
inline constexpr std::size_t kNotifyHeaderSize = 12;

}  // namespace tarnwell
