// The Windows dispatcher in a real message loop: hand-overs of several
// threads served one at a time in the order they came, none inside another,
// and the workers' notices as ownerless modeless dialogs.

#include "ui/win32/win32_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/resource.h"
#include "ui/win32_test_support.h"

namespace tarnwell {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new test::Win32Environment);

TEST(Win32Dispatcher, ServesEveryThreadsHandOversInOrderOneAtATime) {
    win32::Win32Dispatcher dispatcher;
    const DWORD uiThread = GetCurrentThreadId();
    std::vector<int> served;
    std::atomic<int> running{0};
    bool overlapped = false, offThread = false;
    constexpr int kEach = 200;
    auto worker = [&](int first) {
        for (int i = 0; i < kEach; ++i)
            dispatcher.Post([&, value = first + i] {
                overlapped |= ++running > 1;
                offThread |= GetCurrentThreadId() != uiThread;
                served.push_back(value);
                --running;
            });
    };
    std::thread a(worker, 0), b(worker, 1000);
    a.join();
    b.join();
    ASSERT_TRUE(PumpUntil([&] { return served.size() == 2 * kEach; }, 10s));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offThread);
    // Each thread's routines keep their order.
    int lastA = -1, lastB = 999;
    for (const int value : served) {
        int& last = value < 1000 ? lastA : lastB;
        EXPECT_EQ(value, last + 1);
        last = value;
    }
}

TEST(Win32Dispatcher, ARoutineThatPumpsDoesNotRunTheNextInsideIt) {
    win32::Win32Dispatcher dispatcher;
    std::vector<std::string> order;
    dispatcher.Post([&] {
        order.push_back("first begins");
        dispatcher.Post([&] { order.push_back("second"); });
        // A nested loop, as a modal box runs.
        PumpUntil([] { return false; }, 50ms);
        order.push_back("first ends");
    });
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 3; }, 5s));
    EXPECT_EQ(order, (std::vector<std::string>{"first begins", "first ends", "second"}));
}

TEST(Win32Dispatcher, NoticesAreOwnerlessAndDismissedOrClosed) {
    win32::Win32Dispatcher dispatcher;
    int dismissed = 0;
    const auto first = dispatcher.ShowNotice("Cannot Open", [&] { ++dismissed; });
    const auto second = dispatcher.ShowNotice("Cannot Read", [&] { ++dismissed; });
    HWND box = dispatcher.NoticeWindow(first);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(test::TextOf(box), "");
    EXPECT_EQ(test::TextOf(GetDlgItem(box, IDC_NOTICE_TEXT)), "Cannot Open");

    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(IsWindow(box));

    HWND other = dispatcher.NoticeWindow(second);
    dispatcher.CloseNotice(second);
    EXPECT_FALSE(IsWindow(other));
    EXPECT_EQ(dismissed, 1) << "a notice closed by the program is no dismissal";
    dispatcher.CloseNotice(second);  // closed already: nothing happens
}

}  // namespace
}  // namespace tarnwell
