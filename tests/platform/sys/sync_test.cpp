#include "platform/sys/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace plat;
using Clock = std::chrono::steady_clock;

static int64_t ms_since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

TEST(SysSync, ManualAndAutoResetEvents) {
    Event manual(true), autor(false);
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0)); // stays set
    manual.reset();
    EXPECT_FALSE(manual.wait(0));

    autor.set();
    EXPECT_TRUE(autor.is_set());
    EXPECT_TRUE(autor.wait(0));
    EXPECT_FALSE(autor.wait(0)); // the wait took the signal
}

TEST(SysSync, WaitAnyPicksTheSignalledObjectOrTimesOut) {
    Event stop(true), job(false);
    Semaphore data(0, 1);
    auto t0 = Clock::now();
    EXPECT_EQ(wait_any({&stop, &job, &data}, 60), kWaitTimeout);
    EXPECT_GE(ms_since(t0), 55);

    job.set();
    data.release();
    EXPECT_EQ(wait_any({&stop, &job, &data}, 0), 1); // lowest index first
    EXPECT_EQ(wait_any({&stop, &job, &data}, 0), 2);
    EXPECT_EQ(wait_any({&stop, &job, &data}, 0), kWaitTimeout);

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.set();
    });
    EXPECT_EQ(wait_any({&job, &stop}, kInfinite), 1);
    setter.join();
    EXPECT_EQ(wait_any({}, 10), kWaitTimeout);
}

TEST(SysSync, ManualEventReleasesEveryWaiterAutoEventOne) {
    Event gate(true), one(false);
    std::atomic<int> through{0}, taken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            if (gate.wait(5000)) ++through;
            if (one.wait(300)) ++taken;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // The single signal is there before anyone passes the gate, so exactly
    // one waiter takes it however slowly the threads are scheduled.
    one.set();
    gate.set();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(through, 4);
    EXPECT_EQ(taken, 1);
}

TEST(SysSync, SemaphoreCountsAndRespectsItsMaximum) {
    Semaphore busy(1, 1);
    EXPECT_TRUE(busy.wait(0));
    EXPECT_FALSE(busy.wait(20));
    int32_t prev = -1;
    EXPECT_TRUE(busy.release(1, &prev));
    EXPECT_EQ(prev, 0);
    EXPECT_FALSE(busy.release(1, &prev)); // would pass the maximum
    EXPECT_EQ(busy.count(), 1);
    EXPECT_FALSE(busy.release(0));

    // Many threads through a semaphore of 2: never more than 2 inside.
    Semaphore slots(2, 2);
    std::atomic<int> inside{0}, most{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            for (int k = 0; k < 50; ++k) {
                ASSERT_TRUE(slots.wait(kInfinite));
                int now = ++inside;
                int m = most.load();
                while (now > m && !most.compare_exchange_weak(m, now)) {
                }
                --inside;
                slots.release();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_LE(most, 2);
    EXPECT_EQ(slots.count(), 2);
}
