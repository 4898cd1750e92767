// The thread base on its own: a scripted Execute against the test dispatcher,
// so every hand-over runs exactly when the test serves the queue.

#include "engine/thread_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/test_dispatcher.h"

namespace tarnwell {
namespace {

using namespace std::chrono_literals;
using testing::TestDispatcher;

constexpr auto kWait = 5s;  // generous: only a failing test waits this long

class ScriptedThread : public TThread {
  public:
    using Body = std::function<void(ScriptedThread&)>;
    ScriptedThread(UiDispatcher& dispatcher, Body body)
        : TThread(dispatcher), body_(std::move(body)) {
        OnTerminate = [this](TThread&) {
            onTerminateThread = std::this_thread::get_id();
            ++onTerminateRuns;
        };
    }
    ~ScriptedThread() override { Terminate(); }

    using TThread::ShowMessageAndWait;
    using TThread::Synchronize;
    using TThread::WaitUnlessTerminated;

    std::atomic<bool> executed{false};
    std::thread::id executeThread;  // written by Execute, read once Finished
    std::thread::id onTerminateThread;
    int onTerminateRuns = 0;

  protected:
    void Execute() override {
        executeThread = std::this_thread::get_id();
        executed = true;
        if (body_) body_(*this);
    }

  private:
    Body body_;
};

TEST(ThreadBase, NeverResumedNeverRuns) {
    TestDispatcher ui;
    ScriptedThread thread(ui, nullptr);
    thread.Terminate();
    EXPECT_TRUE(thread.Finished());
    EXPECT_FALSE(thread.executed);
    thread.Resume();  // a late Resume must not bring it back
    ui.RunPending();
    EXPECT_FALSE(thread.executed);
    EXPECT_EQ(thread.onTerminateRuns, 0);
}

TEST(ThreadBase, DestroyedWithoutResumeNeverRuns) {
    TestDispatcher ui;
    std::atomic<bool> ran{false};
    {
        ScriptedThread thread(ui, [&](ScriptedThread&) { ran = true; });
    }
    ui.RunPending();
    EXPECT_FALSE(ran);
}

TEST(ThreadBase, ExecuteRunsOnItsOwnThreadAndOnTerminateOnTheUiThread) {
    TestDispatcher ui;
    ScriptedThread thread(ui, nullptr);
    EXPECT_FALSE(thread.executed) << "created suspended";
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return thread.onTerminateRuns == 1; }, kWait));
    EXPECT_TRUE(thread.Finished());
    EXPECT_NE(thread.executeThread, ui.UiThread());
    EXPECT_EQ(thread.onTerminateThread, ui.UiThread());
    // Ended by itself: the stop returns at once and OnTerminate ran once.
    thread.Terminate();
    ui.RunPending();
    EXPECT_EQ(thread.onTerminateRuns, 1);
}

TEST(ThreadBase, SynchronizeRunsTheRoutineOnTheUiThreadWhileTheWorkerWaits) {
    TestDispatcher ui;
    std::vector<int> steps;  // touched on the UI thread, and by the worker only between hand-overs
    std::thread::id routineThread;
    ScriptedThread thread(ui, [&](ScriptedThread& self) {
        for (int i = 0; i < 3; ++i) {
            const bool ran = self.Synchronize([&, i] {
                routineThread = std::this_thread::get_id();
                steps.push_back(i);
            });
            EXPECT_TRUE(ran);
            EXPECT_EQ(steps.size(), static_cast<std::size_t>(i + 1))
                << "returned before the routine";
        }
    });
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return thread.onTerminateRuns == 1; }, kWait));
    EXPECT_EQ(steps, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(routineThread, ui.UiThread());
}

TEST(ThreadBase, HandOversOfSeveralThreadsAreServedFirstComeFirstServed) {
    TestDispatcher ui;
    std::vector<std::string> order;
    auto body = [&](const char* name) {
        return [&order, name](ScriptedThread& self) {
            self.Synchronize([&order, name] { order.push_back(name); });
        };
    };
    ScriptedThread first(ui, body("first"));
    ScriptedThread second(ui, body("second"));
    first.Resume();
    ASSERT_TRUE(ui.WaitForQueued(1, kWait));
    second.Resume();
    ASSERT_TRUE(ui.WaitForQueued(2, kWait));
    ASSERT_TRUE(ui.RunUntil([&] { return order.size() == 2; }, kWait));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
}

// The worker sees the routine's error as its own; one that escapes Execute ends
// the run quietly and the page still learns of the end.
TEST(ThreadBase, AnErrorInTheRoutineIsRaisedAgainOnTheWorker) {
    TestDispatcher ui;
    std::string caught;
    std::thread::id catchThread;
    ScriptedThread thread(ui, [&](ScriptedThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("routine failed"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
            catchThread = std::this_thread::get_id();
        }
        self.Synchronize([] { throw std::runtime_error("again"); });
        ADD_FAILURE() << "Synchronize returned after a failing routine";
    });
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return thread.onTerminateRuns == 1; }, kWait));
    EXPECT_EQ(caught, "routine failed");
    EXPECT_EQ(catchThread, thread.executeThread);
    EXPECT_TRUE(ui.Notices().empty()) << "an error ends the run without a message";
}

TEST(ThreadBase, TerminateReleasesAQueuedHandOverWithoutRunningIt) {
    TestDispatcher ui;
    std::atomic<int> synchronizeResult{-1};
    bool routineRan = false;
    ScriptedThread thread(ui, [&](ScriptedThread& self) {
        synchronizeResult = self.Synchronize([&] { routineRan = true; }) ? 1 : 0;
        // A stopped thread posts nothing any more.
        self.Synchronize([&] { routineRan = true; });
    });
    thread.Resume();
    ASSERT_TRUE(ui.WaitForQueued(1, kWait));
    const auto start = std::chrono::steady_clock::now();
    thread.Terminate();  // the queue is not served: the stop must not need it
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(synchronizeResult, 0);
    ui.RunPending();
    EXPECT_FALSE(routineRan);
    EXPECT_EQ(thread.onTerminateRuns, 0) << "a stopped thread gets no OnTerminate";
}

TEST(ThreadBase, QueuedRoutinesOfADestroyedThreadDoNothing) {
    TestDispatcher ui;
    bool routineRan = false;
    {
        ScriptedThread handingOver(
            ui, [&](ScriptedThread& self) { self.Synchronize([&] { routineRan = true; }); });
        handingOver.Resume();
        ASSERT_TRUE(ui.WaitForQueued(1, kWait));
        // Ends by itself; its OnTerminate request waits in the queue.
        ScriptedThread ended(ui, nullptr);
        ended.Resume();
        ASSERT_TRUE(ui.WaitForQueued(2, kWait));
    }
    EXPECT_EQ(ui.RunPending(), 2u);
    EXPECT_FALSE(routineRan);
}

TEST(ThreadBase, ANoticeHoldsTheWorkerUntilDismissed) {
    TestDispatcher ui;
    std::atomic<bool> returned{false};
    ScriptedThread thread(ui, [&](ScriptedThread& self) {
        self.ShowMessageAndWait("Cannot Open");
        returned = true;
    });
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return !ui.OpenNotices().empty(); }, kWait));
    ASSERT_EQ(ui.Notices().size(), 1u);
    EXPECT_EQ(ui.Notices()[0].text, "Cannot Open");
    // Serving the queue meanwhile is what keeps the windows usable; the
    // worker still waits.
    ui.RunUntil([] { return false; }, 20ms);
    EXPECT_FALSE(returned);
    EXPECT_EQ(thread.onTerminateRuns, 0);

    ui.Dismiss(ui.Notices()[0].id);
    ASSERT_TRUE(ui.RunUntil([&] { return thread.onTerminateRuns == 1; }, kWait));
    EXPECT_TRUE(returned);
    EXPECT_FALSE(ui.Notices()[0].closedByProgram);
}

TEST(ThreadBase, TerminateClosesAnOpenNoticeAtOnce) {
    TestDispatcher ui;
    ScriptedThread thread(ui, [](ScriptedThread& self) { self.ShowMessageAndWait("Cannot Read"); });
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return !ui.OpenNotices().empty(); }, kWait));
    const auto start = std::chrono::steady_clock::now();
    thread.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(thread.Finished());
    ASSERT_EQ(ui.Notices().size(), 1u);
    EXPECT_FALSE(ui.Notices()[0].open);
    EXPECT_TRUE(ui.Notices()[0].closedByProgram);
    ui.RunPending();
    EXPECT_EQ(thread.onTerminateRuns, 0);
}

TEST(ThreadBase, TerminateBeforeTheNoticeIsServedShowsNone) {
    TestDispatcher ui;
    ScriptedThread thread(ui, [](ScriptedThread& self) { self.ShowMessageAndWait("Cannot Open"); });
    thread.Resume();
    ASSERT_TRUE(ui.WaitForQueued(1, kWait));
    thread.Terminate();
    ui.RunPending();
    EXPECT_TRUE(ui.Notices().empty());
}

// A dispatcher that cannot show a box must not leave the worker waiting for a
// dismissal that never comes.
TEST(ThreadBase, ANoticeThatCannotBeShownDoesNotHoldTheWorker) {
    struct NoBoxes : TestDispatcher {
        NoticeId ShowNotice(const std::string&, std::function<void()>) override {
            throw std::runtime_error("no display");
        }
    } ui;
    ScriptedThread thread(ui, [](ScriptedThread& self) { self.ShowMessageAndWait("Cannot Open"); });
    thread.Resume();
    EXPECT_TRUE(ui.RunUntil([&] { return thread.onTerminateRuns == 1; }, kWait));
}

// The pause between reads must not hold a stop back: a wait of an hour ends
// with the stop, and says so; a short one runs out by itself.
TEST(ThreadBase, AWaitEndsWithTheStopOrItsTime) {
    TestDispatcher ui;
    std::atomic<int> shortWait{-1};
    std::atomic<int> longWait{-1};
    std::atomic<bool> waiting{false};
    ScriptedThread thread(ui, [&](ScriptedThread& self) {
        shortWait = self.WaitUnlessTerminated(1ms) ? 1 : 0;
        waiting = true;
        longWait = self.WaitUnlessTerminated(1h) ? 1 : 0;
    });
    thread.Resume();
    ASSERT_TRUE(ui.RunUntil([&] { return waiting.load(); }, kWait));
    thread.Terminate();  // returns only once Execute has
    EXPECT_EQ(shortWait, 1);
    EXPECT_EQ(longWait, 0);
    EXPECT_EQ(thread.onTerminateRuns, 0);
}

}  // namespace
}  // namespace tarnwell
