#pragma once
// Walks the chain of FILE_NOTIFY_INFORMATION records in a read buffer. Every
// field is read with memcpy (records may sit at any alignment), and no record
// is read beyond the end of the buffer whatever its fields say. Any thread.

#include <cstddef>
#include <cstdint>

namespace tarnwell {

struct NotifyRecordView {
    std::uint32_t NextEntryOffset = 0;
    std::uint32_t Action = 0;
    std::uint32_t FileNameLength = 0;  // in bytes, as the record says
    const std::byte* FileName = nullptr;
    std::size_t NameUnits = 0;  // FileNameLength / 2, clipped to the buffer
};

class NotifyRecordCursor {
  public:
    // `offset` is the position of the current record (the walk's CurrentRecord).
    NotifyRecordCursor(const std::byte* buffer, std::size_t size, std::size_t offset = 0);

    // Whether the current record's header lies wholly inside the buffer.
    bool Valid() const;
    NotifyRecordView Current() const;
    // Moves to the next record; false when the batch is done (NextEntryOffset 0,
    // or a next record that would not lie inside the buffer).
    bool Advance();
    std::size_t Offset() const { return offset_; }

  private:
    const std::byte* buffer_;
    std::size_t size_;
    std::size_t offset_;
};

}  // namespace tarnwell
