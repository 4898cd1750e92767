#pragma once
// Reads a notification buffer back into the entries it holds, the way the
// builder beside it states them, so a test can compare what a directory read
// left with what it expects:
//     EXPECT_EQ(DecodeNotifyBuffer(buffer.data(), buffer.size()), expected);

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/notify_codes.h"
#include "support/notify_buffer_builder.h"

namespace tarnwell::test {

// Records may sit at 2-byte alignment (Wine), so every field is copied out,
// never read through a cast. A cleared buffer, the overflow, reads as one entry
// with action 0 and no name; a name that runs past the buffer is cut at its end.
inline std::vector<NotifyEntry> DecodeNotifyBuffer(const std::byte* buffer, std::size_t size) {
    std::vector<NotifyEntry> entries;
    std::size_t offset = 0;
    while (offset + kNotifyHeaderSize <= size) {
        std::uint32_t fields[3];  // NextEntryOffset, Action, FileNameLength
        std::memcpy(fields, buffer + offset, sizeof fields);
        const std::size_t room = size - offset - kNotifyHeaderSize;
        std::u16string name(std::min<std::size_t>(fields[2], room) / 2, u'\0');
        std::memcpy(name.data(), buffer + offset + kNotifyHeaderSize, name.size() * 2);
        entries.push_back({fields[1], std::move(name)});
        if (fields[0] == 0) break;
        offset += fields[0];
    }
    return entries;
}

}  // namespace tarnwell::test
