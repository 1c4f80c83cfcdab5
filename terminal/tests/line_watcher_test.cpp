// The line watcher's thread against a fake wait: how often it waits and
// reports, and how it ends.
#include "line_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <poll.h>
#include <unistd.h>

namespace {

// What the watcher's thread did, for the test's thread to wait on.
struct Counts {
    std::mutex mutex;
    std::condition_variable changed;
    int waits = 0;
    int events = 0;

    void Add(int& counter)
    {
        std::lock_guard lock(mutex);
        ++counter;
        changed.notify_all();
    }
    // Only a guard against a hung test; no figure depends on the time.
    bool AwaitAtLeast(const int& counter, int count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return counter >= count; });
    }
    int Get(const int& counter)
    {
        std::lock_guard lock(mutex);
        return counter;
    }
};

class LineWatcherTest : public ::testing::Test {
protected:
    ~LineWatcherTest() override
    {
        watcher_.Stop();
        ::close(never_[0]);
        ::close(never_[1]);
    }

    // A wait that blocks as the driver's does while the lines stay put: until
    // the watcher's signal ends it.
    int32_t BlockUntilSignal()
    {
        pollfd p{never_[0], POLLIN, 0};
        return ::poll(&p, 1, -1) < 0 ? 0 : -1;
    }

    void StartWith(std::function<int32_t()> wait)
    {
        watcher_.Start(
            [this, wait] {
                counts_.Add(counts_.waits);
                return wait();
            },
            [this] { return lines_.load(); },
            [this](int32_t event) {
                if (event > 0)
                    counts_.Add(counts_.events);
            });
    }

    int never_[2] = {-1, -1};
    bool piped_ = ::pipe(never_) == 0;
    Counts counts_;
    std::atomic<int32_t> lines_{0};
    LineWatcher watcher_;
};

// A line with no rest between changes: every wait returns at once. The
// watcher waits again only after the tick has taken its report, and Stop
// ends it while it waits for that.
TEST_F(LineWatcherTest, AFloodingLineIsWaitedForOncePerTakenReport)
{
    StartWith([] { return int32_t(1); });
    for (int report = 1; report <= 5; ++report) {
        ASSERT_TRUE(counts_.AwaitAtLeast(counts_.events, report));
        EXPECT_EQ(counts_.Get(counts_.waits), report);
        EXPECT_EQ(counts_.Get(counts_.events), report);
        if (report < 5)
            watcher_.Taken(0);
    }
    watcher_.Stop();
    EXPECT_EQ(counts_.waits, 5);
    EXPECT_EQ(counts_.events, 5);
}

// The lines change after the tick read them and before the watcher waits
// again: the driver's wait would never see that change, so the watcher
// reports it without waiting; once the tick shows what is there it waits,
// and Stop ends that wait.
TEST_F(LineWatcherTest, AChangeTheTickDidNotShowIsReportedWithoutWaiting)
{
    ASSERT_TRUE(piped_);
    StartWith([this] { return counts_.Get(counts_.waits) == 1 ? int32_t(1) : BlockUntilSignal(); });
    ASSERT_TRUE(counts_.AwaitAtLeast(counts_.events, 1));
    lines_ = 0b0001;
    watcher_.Taken(0b0000);
    ASSERT_TRUE(counts_.AwaitAtLeast(counts_.events, 2));
    EXPECT_EQ(counts_.Get(counts_.waits), 1);

    watcher_.Taken(0b0001);
    ASSERT_TRUE(counts_.AwaitAtLeast(counts_.waits, 2));
    watcher_.Stop();
    EXPECT_EQ(counts_.waits, 2);
    EXPECT_EQ(counts_.events, 2);
}

}  // namespace
