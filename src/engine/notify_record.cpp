#include "engine/notify_record.h"

#include <algorithm>
#include <cstring>

#include "engine/notify_codes.h"

namespace tarnwell {

namespace {

// Little-endian on every target we build for; memcpy because records may sit
// at 2-byte alignment (Wine) or anywhere in a hostile buffer.
std::uint32_t ReadU32(const std::byte* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

NotifyRecordCursor::NotifyRecordCursor(const std::byte* buffer, std::size_t size,
                                       std::size_t offset)
    : buffer_(buffer), size_(size), offset_(offset) {}

bool NotifyRecordCursor::Valid() const {
    return offset_ <= size_ && size_ - offset_ >= kNotifyHeaderSize;
}

NotifyRecordView NotifyRecordCursor::Current() const {
    NotifyRecordView view;
    if (!Valid()) {
        // The walk always processes its first record; a header cut short by the
        // end of the buffer reads as zeros, like the cleared buffer it came from.
        std::byte header[kNotifyHeaderSize] = {};
        if (offset_ < size_ && buffer_ != nullptr) {
            std::memcpy(header, buffer_ + offset_, size_ - offset_);
        }
        view.NextEntryOffset = ReadU32(header);
        view.Action = ReadU32(header + 4);
        view.FileNameLength = ReadU32(header + 8);
        return view;
    }
    const std::byte* record = buffer_ + offset_;
    view.NextEntryOffset = ReadU32(record);
    view.Action = ReadU32(record + 4);
    view.FileNameLength = ReadU32(record + 8);
    view.FileName = record + kNotifyHeaderSize;
    const std::size_t room = size_ - offset_ - kNotifyHeaderSize;
    view.NameUnits = std::min<std::size_t>(view.FileNameLength, room) / 2;
    return view;
}

bool NotifyRecordCursor::Advance() {
    if (!Valid()) return false;
    const std::uint32_t next = ReadU32(buffer_ + offset_);
    // A successor that starts inside this record's own header can only come
    // from a corrupt buffer; following it could walk the buffer byte by byte.
    if (next < kNotifyHeaderSize) return false;
    if (next > size_ - offset_) return false;
    const std::size_t target = offset_ + next;
    if (size_ - target < kNotifyHeaderSize) return false;
    offset_ = target;
    return true;
}

}  // namespace tarnwell
