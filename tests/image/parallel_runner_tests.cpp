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
    std::multiset<int> indices;
    std::vector<int> counts;
    std::set<std::thread::id> threads;
    std::thread::id bandZeroThread;
};

void logJob(void* log, void*, void*, void*, void*, void*) {
    auto& run = *static_cast<RunLog*>(log);
    std::lock_guard<std::mutex> hold(run.lock);
    run.indices.insert(threadIndex());
    run.counts.push_back(threadCount());
    run.threads.insert(std::this_thread::get_id());
    if (threadIndex() == 0)
        run.bandZeroThread = std::this_thread::get_id();
}

TEST_F(ParallelRunner, EveryBandRunsOnceOnItsOwnThreadAndTheCallerWorksBandZero) {
    for (const int processors : {1, 2, 4, 8}) {
        setProcessorCountForTesting(processors);
        // Repeated so that a thread that runs before its id is stored would be seen.
        for (int repeat = 0; repeat < 50; ++repeat) {
            RunLog run;
            runParallel(&logJob, 1, &run);
            ASSERT_EQ(run.indices.size(), static_cast<std::size_t>(processors));
            for (int band = 0; band < processors; ++band)
                ASSERT_EQ(run.indices.count(band), 1u) << processors << " processors, " << band;
            EXPECT_EQ(run.bandZeroThread, std::this_thread::get_id());
            EXPECT_EQ(run.threads.size(), static_cast<std::size_t>(processors));
            EXPECT_EQ(run.counts, std::vector<int>(processors, processors));
        }
    }
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

}  // namespace
}  // namespace pattix
