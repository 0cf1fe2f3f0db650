#include "plugin/image/parallel_runner.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/thread_ends.hpp"

namespace pattix {
namespace {

class ParallelRunner : public ::testing::Test {
protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

// What one run saw: each call's band, the kernel thread that worked it, and its thread count.
struct RunLog {
    int processors = 1;
    std::atomic<int> othersArrived{0};
    std::mutex lock;
    std::map<int, std::vector<pid_t>> threadsOfBand;
    std::vector<int> counts;
    bool bandZeroWaits = true;
    bool stopWorkers = false;
};

// Band 0, on the calling thread, waits for every other band to arrive: the caller then has no
// band left to take over, so each band shows the thread it was meant for.
void logJob(void* log, void*, void*, void*, void*, void*) {
    auto& run = *static_cast<RunLog*>(log);
    const int band = threadIndex();
    if (band == 0 && run.bandZeroWaits) {
        for (int n; (n = run.othersArrived.load()) < run.processors - 1;) run.othersArrived.wait(n);
    } else {
        ++run.othersArrived;
        run.othersArrived.notify_all();
    }
    if (run.stopWorkers) stopParallelWorkers();
    std::lock_guard<std::mutex> hold(run.lock);
    run.threadsOfBand[band].push_back(gettid());
    run.counts.push_back(threadCount());
}

// The thread of each band, checking that every band ran once and all saw the same count.
std::vector<pid_t> bandThreads(RunLog& run) {
    EXPECT_EQ(run.counts, std::vector<int>(run.processors, run.processors));
    std::vector<pid_t> threads;
    for (int band = 0; band < run.processors; ++band) {
        EXPECT_EQ(run.threadsOfBand[band].size(), 1u) << run.processors << " processors, " << band;
        threads.push_back(run.threadsOfBand[band].empty() ? 0 : run.threadsOfBand[band][0]);
    }
    return threads;
}

TEST_F(ParallelRunner, WorkersStartOnceWorkTheBandOfTheirIdAndAreJoinedWhenStopped) {
    for (const int processors : {1, 2, 4, 8}) {
        setProcessorCountForTesting(processors);
        std::vector<pid_t> first;
        for (int repeat = 0; repeat < 20; ++repeat) {
            RunLog run;
            run.processors = processors;
            runParallel(&logJob, 1, &run);
            const std::vector<pid_t> threads = bandThreads(run);
            ASSERT_EQ(threads[0], gettid());
            EXPECT_EQ(std::set<pid_t>(threads.begin(), threads.end()).size(),
                      static_cast<std::size_t>(processors));
            if (repeat == 0) first = threads;
            ASSERT_EQ(threads, first) << processors << " processors: a worker was started again";
        }
        stopParallelWorkers();
        for (std::size_t band = 1; band < first.size(); ++band)
            EXPECT_TRUE(testing::threadEnds(first[band])) << processors << " processors, " << band;
    }
}

TEST_F(ParallelRunner, AStopAskedForInsideARunJoinsTheWorkersWhenTheRunEnds) {
    setProcessorCountForTesting(2);
    RunLog stopping;
    stopping.processors = 2;
    stopping.stopWorkers = true;
    runParallel(&logJob, 1, &stopping);
    const pid_t stopped = bandThreads(stopping)[1];
    EXPECT_TRUE(testing::threadEnds(stopped));

    RunLog next;  // the next run starts a worker again
    next.processors = 2;
    runParallel(&logJob, 1, &next);
    EXPECT_NE(bandThreads(next)[1], stopped);
}

TEST_F(ParallelRunner, SmallWorkRunsEveryBandOnTheCallingThread) {
    setProcessorCountForTesting(4);
    RunLog run;
    run.processors = 4;
    run.bandZeroWaits = false;  // the bands run one after the other
    runParallel(kSplitWorthBytes - 1, &logJob, 1, &run);
    EXPECT_EQ(bandThreads(run), std::vector<pid_t>(4, gettid()));
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
        for (int i = 0; i < 6; ++i) record.seen[i] = all[i];
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
    for (int i = 2; i < 6; ++i) EXPECT_EQ(two.seen[i], nullptr) << i;

    Arguments nine;  // a count above six keeps six
    runParallel(&argumentJob, 9, &nine, &b, &c, &d, &e, &f);
    EXPECT_EQ(nine.seen[5], &f);
}

}  // namespace
}  // namespace pattix
