#pragma once
// Notification buffers as the directory read leaves them: a cleared 10000-byte
// buffer with a chain of DWORD-aligned FILE_NOTIFY_INFORMATION records at its
// start. A test states its input in one line:
//     auto buffer = BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}});
// and patches single fields with PutU32 to make a buffer hostile.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/notify_record_writer.h"

namespace tarnwell::test {

struct NotifyEntry {
    std::uint32_t action;
    std::u16string name;
    bool operator==(const NotifyEntry&) const = default;
};

inline std::vector<std::byte> BuildNotifyBuffer(const std::vector<NotifyEntry>& entries,
                                                std::size_t size = kChangeBufferSize) {
    std::vector<std::byte> buffer(size);
    NotifyRecordWriter writer(buffer.data(), buffer.size());
    for (const NotifyEntry& entry : entries) {
        if (!writer.Append(entry.action, entry.name)) {
            throw std::length_error("notify records do not fit into the buffer");
        }
    }
    return buffer;
}

inline std::vector<std::byte> BuildNotifyBuffer(std::initializer_list<NotifyEntry> entries,
                                                std::size_t size = kChangeBufferSize) {
    return BuildNotifyBuffer(std::vector<NotifyEntry>(entries), size);
}

// Overwrites the 32-bit little-endian field at `offset` (NextEntryOffset at +0,
// Action at +4, FileNameLength at +8 of a record).
inline void PutU32(std::vector<std::byte>& buffer, std::size_t offset, std::uint32_t value) {
    if (offset + 4 > buffer.size()) throw std::out_of_range("PutU32 beyond the buffer");
    std::memcpy(buffer.data() + offset, &value, 4);
}

// Writes one record by hand at any offset, alignment or length; nothing else
// in the buffer changes. For buffers the operating system would never produce.
inline void PutRecord(std::vector<std::byte>& buffer, std::size_t offset, std::uint32_t next,
                      std::uint32_t action, std::uint32_t nameBytes, std::u16string_view name) {
    PutU32(buffer, offset, next);
    PutU32(buffer, offset + 4, action);
    PutU32(buffer, offset + 8, nameBytes);
    const std::size_t room = buffer.size() - (offset + kNotifyHeaderSize);
    const std::size_t bytes = name.size() * 2 < room ? name.size() * 2 : room;
    if (bytes > 0) std::memcpy(buffer.data() + offset + kNotifyHeaderSize, name.data(), bytes);
}

}  // namespace tarnwell::test
