#include "engine/notify_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/notify_buffer_builder.h"

namespace tarnwell {
namespace {

using test::BuildNotifyBuffer;
using test::PutRecord;
using test::PutU32;

struct Visit {
    std::size_t offset;
    std::uint32_t action;
    std::size_t nameUnits;
    bool operator==(const Visit&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Visit& v) {
    return out << "{offset " << v.offset << ", action " << v.action << ", units " << v.nameUnits
               << "}";
}

// Walks the way the batch does (the first record always), with a cap far above
// any honest buffer so that a walk that never ends fails instead of hanging.
std::vector<Visit> Walk(const std::vector<std::byte>& buffer) {
    std::vector<Visit> visits;
    NotifyRecordCursor cursor(buffer.data(), buffer.size());
    do {
        const NotifyRecordView view = cursor.Current();
        if (view.NameUnits > 0) {
            // Every name byte the view admits must lie inside the buffer.
            EXPECT_GE(view.FileName, buffer.data());
            EXPECT_LE(view.FileName + view.NameUnits * 2, buffer.data() + buffer.size());
        }
        visits.push_back({cursor.Offset(), view.Action, view.NameUnits});
        if (visits.size() > buffer.size()) {
            ADD_FAILURE() << "the walk does not end";
            break;
        }
    } while (cursor.Advance());
    return visits;
}

TEST(NotifyRecordWalk, FollowsAChainAsTheSystemLaysItOut) {
    const auto buffer = BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"},
                                           {FILE_ACTION_RENAMED_OLD_NAME, u"sub\\long-name.doc"},
                                           {FILE_ACTION_REMOVED, u""}});
    const std::vector<Visit> expected = {{0, 1, 5}, {24, 4, 17}, {72, 2, 0}};
    EXPECT_EQ(Walk(buffer), expected);

    NotifyRecordCursor cursor(buffer.data(), buffer.size(), 24);
    const NotifyRecordView view = cursor.Current();
    EXPECT_EQ(view.FileNameLength, 34u);
    const std::u16string name(reinterpret_cast<const char16_t*>(view.FileName), view.NameUnits);
    EXPECT_EQ(name, u"sub\\long-name.doc");
}

TEST(NotifyRecordWalk, ClearedBufferIsOneEmptyRecord) {
    const std::vector<std::byte> buffer(kChangeBufferSize);
    const std::vector<Visit> expected = {{0, 0, 0}};
    EXPECT_EQ(Walk(buffer), expected);
}

struct HostileCase {
    const char* what;
    std::function<void(std::vector<std::byte>&)> spoil;
    std::vector<Visit> expected;
};

TEST(NotifyRecordWalk, HostileBuffersStayInsideAndEnd) {
    const std::size_t end = kChangeBufferSize;
    const HostileCase cases[] = {
        {"next offset far past the end",
         [](auto& b) { PutRecord(b, 0, 20000, 1, 2, u"a"); },
         {{0, 1, 1}}},
        {"next offset 0xFFFFFFFF",
         [](auto& b) { PutRecord(b, 0, 0xFFFFFFFFu, 1, 2, u"a"); },
         {{0, 1, 1}}},
        {"next header would cross the end by one byte",
         [&](auto& b) { PutRecord(b, 0, static_cast<std::uint32_t>(end - 11), 1, 0, u""); },
         {{0, 1, 0}}},
        {"next header ends exactly at the end",
         [&](auto& b) {
             PutRecord(b, 0, static_cast<std::uint32_t>(end - 12), 1, 0, u"");
             PutRecord(b, end - 12, 0, 3, 0, u"");
         },
         {{0, 1, 0}, {end - 12, 3, 0}}},
        {"next offset inside the own header",
         [](auto& b) { PutRecord(b, 0, 4, 1, 2, u"a"); },
         {{0, 1, 1}}},
        {"name length runs past the end: clipped to the buffer",
         [&](auto& b) {
             PutRecord(b, 0, static_cast<std::uint32_t>(end - 20), 1, 2, u"a");
             PutRecord(b, end - 20, 0, 2, 0xFFFFFFFFu, u"abcd");
         },
         {{0, 1, 1}, {end - 20, 2, 4}}},
        {"odd name length: the last byte is no code unit",
         [](auto& b) { PutRecord(b, 0, 0, 1, 7, u"abcd"); },
         {{0, 1, 3}}},
        {"records packed at 2-byte and odd offsets",
         [](auto& b) {
             PutRecord(b, 0, 14, 1, 2, u"a");
             PutRecord(b, 14, 13, 2, 0, u"");
             PutRecord(b, 27, 0, 3, 2, u"b");
         },
         {{0, 1, 1}, {14, 2, 0}, {27, 3, 1}}},
        {"every record points 12 bytes on: long but finite",
         [&](auto& b) {
             for (std::size_t at = 0; at + 12 <= end; at += 12) PutU32(b, at, 12);
         },
         {}},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::byte> buffer(kChangeBufferSize);
        c.spoil(buffer);
        const std::vector<Visit> visits = Walk(buffer);
        if (c.expected.empty()) {
            EXPECT_EQ(visits.size(), kChangeBufferSize / 12);
        } else {
            EXPECT_EQ(visits, c.expected);
        }
    }
}

TEST(NotifyRecordWalk, BufferShorterThanAHeaderReadsAsZeros) {
    std::vector<std::byte> buffer(5, std::byte{0xFF});
    NotifyRecordCursor cursor(buffer.data(), buffer.size());
    EXPECT_FALSE(cursor.Valid());
    const NotifyRecordView view = cursor.Current();
    EXPECT_EQ(view.NextEntryOffset, 0xFFFFFFFFu);
    EXPECT_EQ(view.Action, 0x000000FFu);
    EXPECT_EQ(view.FileNameLength, 0u);
    EXPECT_EQ(view.NameUnits, 0u);
    EXPECT_FALSE(cursor.Advance());

    NotifyRecordCursor nothing(nullptr, 0);
    EXPECT_EQ(nothing.Current().Action, 0u);
    EXPECT_FALSE(nothing.Advance());
}

}  // namespace
}  // namespace tarnwell
