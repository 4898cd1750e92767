// What a finished directory read amounts to, from the call's result, its error
// code and the bytes it filled: the Windows and the Wine forms of an overflow,
// a chain too long for the caller's buffer, and the failures.

#include "platform/completed_read.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tarnwell {
namespace {

TEST(CompletedReadTest, EachResultMeansWhatTheReaderHandsOver) {
    constexpr std::size_t kCapacity = 10000;
    constexpr std::uint32_t kAccessDenied = 5;
    constexpr std::uint32_t kOperationAborted = 995;
    struct Case {
        const char* name;
        bool succeeded;
        std::uint32_t errorCode;
        std::uint32_t bytes;
        CompletedRead expected;
    };
    const Case cases[] = {
        {"records", true, 0, 24, CompletedRead::Records},
        {"records filling the buffer exactly", true, 0, kCapacity, CompletedRead::Records},
        {"success with no bytes (Windows' overflow)", true, 0, 0, CompletedRead::Overflow},
        {"ERROR_NOTIFY_ENUM_DIR (Wine's overflow)", false, kErrorNotifyEnumDir, 0,
         CompletedRead::Overflow},
        {"ERROR_NOTIFY_ENUM_DIR with bytes", false, kErrorNotifyEnumDir, 24,
         CompletedRead::Overflow},
        {"a chain longer than the buffer", true, 0, kCapacity + 1, CompletedRead::Overflow},
        {"access denied (the folder is gone)", false, kAccessDenied, 0, CompletedRead::Failed},
        {"cancelled", false, kOperationAborted, 0, CompletedRead::Failed},
        {"a failure that claims bytes", false, kAccessDenied, 24, CompletedRead::Failed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeCompletedRead(c.succeeded, c.errorCode, c.bytes, kCapacity), c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace tarnwell
