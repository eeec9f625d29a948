#include "support/task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// A step's percent on the task's range: 3 of 10 is 30 on a song's 0..100 and 86 on the
// firmware write pass's 80..100.
struct SStep {
    int from;
    int to;
    uint64_t done;
    uint64_t total;
    int percent;
};

class TaskStepTest : public ::testing::TestWithParam<SStep> {};

TEST_P(TaskStepTest, MapsOntoThePercentRange)
{
    const SStep& s = GetParam();
    CTask task;
    task.set_percent_range(s.from, s.to);
    task.set_step(s.done, s.total);
    EXPECT_EQ(task.progress().percent, s.percent);
}

INSTANTIATE_TEST_SUITE_P(Steps, TaskStepTest,
                         ::testing::Values(SStep{0, 100, 3, 10, 30}, SStep{80, 100, 3, 10, 86},
                                           SStep{80, 100, 10, 10, 100}, SStep{0, 80, 1, 3, 26},
                                           SStep{0, 100, 0, 10, 0}, SStep{0, 100, 1, 3, 33},
                                           SStep{0, 100, 5, 0, 0}));

TEST(Task, ListenerHearsChangesOnly)
{
    CTask task;
    int heard = 0;
    task.set_listener([&heard] { ++heard; });
    task.set_step(1, 200);
    task.set_step(2, 200);  // still 1 %
    EXPECT_EQ(heard, 1);
    task.add_bytes(10);
    task.add_bytes(5);
    task.set_part(2, 3);
    EXPECT_EQ(heard, 4);
    const STaskProgress progress = task.progress();
    EXPECT_EQ(progress.bytes_done, 15u);
    EXPECT_EQ(progress.part, 2u);
    EXPECT_EQ(progress.parts, 3u);
}

TEST(Task, CancelWakesEveryRegisteredWaitOnce)
{
    CTask task;
    int first = 0;
    int second = 0;
    int gone = 0;
    CTask::CCancelWake wake_first(&task, [&first] { ++first; });
    CTask::CCancelWake wake_second(&task, [&second] { ++second; });
    {
        CTask::CCancelWake ended(&task, [&gone] { ++gone; });
    }
    EXPECT_FALSE(task.cancelled());
    task.cancel();
    task.cancel();
    EXPECT_TRUE(task.cancelled());
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(gone, 0) << "a wake no longer registered is not called";
}

TEST(Task, ForbiddenCancelIsIgnored)
{
    CTask task;
    int woken = 0;
    CTask::CCancelWake wake(&task, [&woken] { ++woken; });
    ASSERT_TRUE(task.forbid_cancel(QStringLiteral("writing")));
    task.cancel();
    EXPECT_FALSE(task.cancelled());
    // A cancel that came first wins: nothing is forbidden then.
    CTask cancelled;
    cancelled.cancel();
    EXPECT_FALSE(cancelled.forbid_cancel(QStringLiteral("writing")));
    EXPECT_TRUE(cancelled.progress().cancellable);
    EXPECT_EQ(woken, 0);
    EXPECT_FALSE(task.progress().cancellable);
    EXPECT_EQ(task.progress().why_not_cancellable, QStringLiteral("writing"));
}

TEST(Task, NoTaskIsNeverCancelled)
{
    EXPECT_FALSE(task_cancelled(nullptr));
    task_step(nullptr, 1, 2);
    task_bytes(nullptr, 3);
    CTask::CCancelWake wake(nullptr, [] { FAIL() << "no task, no wake"; });
}

// The waiter ends its registration while another thread cancels: once the registration
// is gone its wake must not run, as what it wakes may be gone too.
TEST(Task, NoWakeRunsAfterItsRegistrationEnded)
{
    for (int round = 0; round < 200; ++round) {
        CTask task;
        auto alive = std::make_shared<std::atomic<bool>>(true);
        auto wake = std::make_unique<CTask::CCancelWake>(&task, [alive] { EXPECT_TRUE(alive->load()); });
        std::thread canceller([&task] { task.cancel(); });
        wake.reset();
        alive->store(false);
        canceller.join();
    }
}

}  // namespace
