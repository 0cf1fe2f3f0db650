#include "plugin/image/parallel_runner.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace pattix {
namespace {

class ParallelRunner : public ::testing::Test {
  protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

// What one run saw, filled by the job on every thread of the run.
struct RunLog {
    std::mutex lock;
    std::vector<int> indices;
    std::vector<int> counts;
    std::vector<std::thread::id> threads;
    std::thread::id bandZeroThread;
};

void logJob(void* log, void*, void*, void*, void*, void*) {
    auto& run = *static_cast<RunLog*>(log);
    const int index = threadIndex();
    const int count = threadCount();
    std::lock_guard<std::mutex> hold(run.lock);
    run.indices.push_back(index);
    run.counts.push_back(count);
    run.threads.push_back(std::this_thread::get_id());
    if (index == 0)
        run.bandZeroThread = std::this_thread::get_id();
}

TEST_F(ParallelRunner, EveryBandRunsOnceOnItsOwnThreadAndTheCallerWorksBandZero) {
    for (const int processors : {2, 4, 8}) {
        setProcessorCountForTesting(processors);
        // Repeated so that a thread that runs before its id is stored would be seen.
        for (int repeat = 0; repeat < 50; ++repeat) {
            RunLog run;
            runParallel(&logJob, 1, &run);
            ASSERT_EQ(run.indices.size(), static_cast<std::size_t>(processors));
            const std::multiset<int> indices(run.indices.begin(), run.indices.end());
            for (int band = 0; band < processors; ++band) {
                ASSERT_EQ(indices.count(band), 1u) << processors << " processors, band " << band;
            }
            EXPECT_EQ(run.bandZeroThread, std::this_thread::get_id());
            const std::set<std::thread::id> threads(run.threads.begin(), run.threads.end());
            EXPECT_EQ(threads.size(), static_cast<std::size_t>(processors));
            for (const int count : run.counts)
                EXPECT_EQ(count, processors);
        }
    }
}

TEST_F(ParallelRunner, OneProcessorRunsTheJobOnceOnTheCallingThread) {
    setProcessorCountForTesting(1);
    RunLog run;
    runParallel(&logJob, 1, &run);
    ASSERT_EQ(run.indices.size(), 1u);
    EXPECT_EQ(run.indices[0], 0);
    EXPECT_EQ(run.counts[0], 1);
    EXPECT_EQ(run.threads[0], std::this_thread::get_id());
}

TEST_F(ParallelRunner, OutsideARunEveryThreadIsBandZero) {
    setProcessorCountForTesting(4);
    EXPECT_EQ(threadIndex(), 0);
    EXPECT_EQ(threadCount(), 4);
    int seen = -1;
    std::thread other([&seen] { seen = threadIndex(); });
    other.join();
    EXPECT_EQ(seen, 0);
}

struct Arguments {
    std::atomic<int> calls{0};
    void* seen[6] = {};
};

void argumentJob(void* a0, void* a1, void* a2, void* a3, void* a4, void* a5) {
    auto& record = *static_cast<Arguments*>(a0);
    if (threadIndex() == 0) {
        void* const all[6] = {a0, a1, a2, a3, a4, a5};
        for (int i = 0; i < 6; ++i)
            record.seen[i] = all[i];
    }
    ++record.calls;
}

TEST_F(ParallelRunner, ArgumentsArriveInOrderAndOnlyAsManyAsCounted) {
    setProcessorCountForTesting(2);
    int b = 0, c = 0, d = 0, e = 0, f = 0;
    Arguments two;
    runParallel(&argumentJob, 2, &two, &b, &c, &d, &e, &f);
    EXPECT_EQ(two.calls.load(), 2);
    EXPECT_EQ(two.seen[0], &two);
    EXPECT_EQ(two.seen[1], &b);
    for (int i = 2; i < 6; ++i)
        EXPECT_EQ(two.seen[i], nullptr) << i;

    Arguments nine;  // a count above six keeps six
    runParallel(&argumentJob, 9, &nine, &b, &c, &d, &e, &f);
    EXPECT_EQ(nine.seen[5], &f);
}

// Two host threads start runs at once; the runs must follow one another, never overlap.
struct Interval {
    long first = -1;
    long last = -1;
};

std::atomic<long> g_clock{0};

void timedJob(void* interval, void* guard, void*, void*, void*, void*) {
    const long entered = g_clock.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    const long left = g_clock.fetch_add(1);
    auto& run = *static_cast<Interval*>(interval);
    std::lock_guard<std::mutex> hold(*static_cast<std::mutex*>(guard));
    if (run.first < 0 || entered < run.first)
        run.first = entered;
    if (left > run.last)
        run.last = left;
}

TEST_F(ParallelRunner, RunsFromTwoHostThreadsNeverInterleave) {
    setProcessorCountForTesting(3);
    constexpr int kRunsPerHost = 20;
    std::vector<Interval> intervals(2 * kRunsPerHost);
    std::mutex guard;
    auto host = [&](int first) {
        for (int i = 0; i < kRunsPerHost; ++i)
            runParallel(&timedJob, 2, &intervals[first + i], &guard);
    };
    std::thread one(host, 0);
    std::thread two(host, kRunsPerHost);
    one.join();
    two.join();
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        for (std::size_t j = i + 1; j < intervals.size(); ++j) {
            const bool apart =
                intervals[i].last < intervals[j].first || intervals[j].last < intervals[i].first;
            ASSERT_TRUE(apart) << "runs " << i << " and " << j << " overlap";
        }
    }
}

}  // namespace
}  // namespace pattix
