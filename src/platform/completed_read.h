#pragma once
// What a finished ReadDirectoryChangesW call amounts to, decided apart from
// the system so every case can be tested on any system. Pure; any thread.

#include <cstddef>
#include <cstdint>

namespace tarnwell {

// ERROR_NOTIFY_ENUM_DIR: the system lost track of the changes.
inline constexpr std::uint32_t kErrorNotifyEnumDir = 1022;

enum class CompletedRead {
    Records,   // the buffer holds a chain of records
    Overflow,  // changes were lost: handed over as a cleared buffer
    Failed,    // the read failed ("Cannot Read")
};

// `succeeded` is the call's result, `errorCode` GetLastError() after a failed
// call, `bytes` how many bytes the system filled, `capacity` the caller's
// buffer. Windows reports an overflow as a success with no bytes, Wine as
// ERROR_NOTIFY_ENUM_DIR; both are an overflow. A chain longer than the
// caller's buffer cannot be cut without breaking its offsets, so it is the
// overflow it amounts to as well.
constexpr CompletedRead JudgeCompletedRead(bool succeeded, std::uint32_t errorCode,
                                           std::uint32_t bytes, std::size_t capacity) {
    if (!succeeded) {
        return errorCode == kErrorNotifyEnumDir ? CompletedRead::Overflow : CompletedRead::Failed;
    }
    if (bytes == 0 || bytes > capacity) return CompletedRead::Overflow;
    return CompletedRead::Records;
}

}  // namespace tarnwell
