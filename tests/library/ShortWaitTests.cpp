// The library's short waits between its threads: the slim ring lock excludes, and both it and a
// polled condition give up at their bound instead of waiting for ever.
#include "ShortWait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ShortWait, TheLockLetsOneThreadAtATimeIn)
{
    ShortLock lock;
    long inside = 0;
    long total = 0;
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                ASSERT_TRUE(lock.TakeWithin(5000));
                if (++inside != 1)
                    overlapped = true;
                ++total;
                --inside;
                lock.Release();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(total, 60000);
}

TEST(ShortWait, WaitsEndAtTheirBoundAndAsSoonAsTheConditionHolds)
{
    ShortLock lock;
    ASSERT_TRUE(lock.TakeWithin(0));
    std::atomic<bool> taken{true};
    DWORD elapsed = 0;
    std::thread other([&] {
        const DWORD start = GetTickCount();
        taken = lock.TakeWithin(50);
        elapsed = GetTickCount() - start;
    });
    other.join();
    EXPECT_FALSE(taken.load()) << "a held lock is never had";
    EXPECT_GE(elapsed, 45u);
    EXPECT_LT(elapsed, 5000u);

    // Released while another thread waits: that thread gets it well before its bound.
    std::atomic<bool> waiting{false};
    std::thread late([&] {
        waiting = true;
        taken = lock.TakeWithin(20000);
        if (taken)
            lock.Release();
    });
    while (!waiting)
        Sleep(1);
    Sleep(20);
    const DWORD released = GetTickCount();
    lock.Release();
    late.join();
    EXPECT_TRUE(taken.load());
    EXPECT_LT(GetTickCount() - released, 5000u);

    std::atomic<int> polls{0};
    EXPECT_TRUE(WaitBriefly([&] { return ++polls >= 2100; }, 20000)) << "spins, yields and sleeps go on polling";
    EXPECT_FALSE(WaitBriefly([] { return false; }, 0));
}

} // namespace
