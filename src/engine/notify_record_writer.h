#pragma once
// Lays out FILE_NOTIFY_INFORMATION records the way the operating system does:
// DWORD-aligned records, each NextEntryOffset pointing at the next, 0 in the last.
// Header-only so that the Linux backend and the tests share it without linking
// the engine. Any thread.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/notify_codes.h"

namespace tarnwell {

class NotifyRecordWriter {
  public:
    NotifyRecordWriter(std::byte* buffer, std::size_t capacity)
        : buffer_(buffer), capacity_(capacity) {}

    // Size in bytes that a record with a name of `units` UTF-16 code units takes,
    // padding to the next DWORD included.
    static constexpr std::size_t RecordSize(std::size_t units) {
        return (kNotifyHeaderSize + units * 2 + 3) & ~std::size_t{3};
    }

    // Whether a record with `units` code units still fits.
    bool Fits(std::size_t units) const {
        return used_ + kNotifyHeaderSize + units * 2 <= capacity_;
    }

    // Appends one record; false (and nothing written) when it does not fit.
    bool Append(std::uint32_t action, std::u16string_view name) {
        if (!Fits(name.size())) return false;
        if (hasLast_) {
            const auto offset = static_cast<std::uint32_t>(used_ - last_);
            std::memcpy(buffer_ + last_, &offset, 4);
        }
        const std::uint32_t next = 0;
        const auto length = static_cast<std::uint32_t>(name.size() * 2);
        std::memcpy(buffer_ + used_, &next, 4);
        std::memcpy(buffer_ + used_ + 4, &action, 4);
        std::memcpy(buffer_ + used_ + 8, &length, 4);
        if (!name.empty()) std::memcpy(buffer_ + used_ + kNotifyHeaderSize, name.data(), length);
        last_ = used_;
        hasLast_ = true;
        used_ += RecordSize(name.size());
        if (used_ > capacity_) used_ = capacity_;
        return true;
    }

    bool Empty() const { return !hasLast_; }

  private:
    std::byte* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t last_ = 0;
    bool hasLast_ = false;
};

}  // namespace tarnwell
