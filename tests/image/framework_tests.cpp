// The framework under the generators: the parallel runner, row bands at the edge of 32 bits and
// texture wrap modes. Whole pictures are checked by frame_checksums_test.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plugin/image/imager.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/texture.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix {
namespace {

class Framework : public ::testing::Test {
protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

// ---- the parallel runner -------------------------------------------------------------------

// What one run saw: the kernel thread of each band and the thread count each call saw.
struct RunLog {
    int processors = 1;
    bool stopWorkers = false;
    std::atomic<int> othersArrived{0};
    std::mutex lock;
    std::map<int, std::vector<pid_t>> threadsOfBand;
    std::vector<int> counts;
};

// Band 0, on the calling thread, waits for every other band to arrive: the caller then has no
// band left to take over, so each band shows the thread it was meant for.
void logJob(void* log, void*, void*, void*, void*, void*) {
    auto& run = *static_cast<RunLog*>(log);
    const int band = threadIndex();
    if (band == 0) {
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

TEST_F(Framework, WorkersStartOnceWorkTheBandOfTheirIdAndAreJoinedWhenStopped) {
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

    // Asked for inside a run, the stop joins the workers when the run ends; the next run starts
    // a worker again.
    setProcessorCountForTesting(2);
    RunLog stopping;
    stopping.processors = 2;
    stopping.stopWorkers = true;
    runParallel(&logJob, 1, &stopping);
    const pid_t stopped = bandThreads(stopping)[1];
    EXPECT_TRUE(testing::threadEnds(stopped));
    RunLog next;
    next.processors = 2;
    runParallel(&logJob, 1, &next);
    EXPECT_NE(bandThreads(next)[1], stopped);
}

// Pictures of nearly 2^31 rows: the band arithmetic passes 32 bits on its way (rows plus
// processors, a band's end moved to the field's parity), its results do not.
TEST_F(Framework, BandsOfPicturesNearTwoToThe31RowsStayInRange) {
    constexpr std::int32_t kChunk = 536870912;  // ceil((2^31 - 1) / 4)
    struct Case {
        std::int32_t windowY0, fieldMode;  // windowY0 < 0: no window, the whole texture
        std::int32_t bands[4][2];
    };
    const Case cases[] = {
        {-1,
         2,
         {{1, kChunk},
          {kChunk + 1, 2 * kChunk},
          {2 * kChunk + 1, 3 * kChunk},
          {3 * kChunk + 1, INT_MAX}}},
        // The top two rows over four processors: the last two bands are empty at 2^31 - 1.
        {INT_MAX - 2,
         1,
         {{INT_MAX - 1, INT_MAX - 1},
          {INT_MAX - 1, INT_MAX},
          {INT_MAX, INT_MAX},
          {INT_MAX, INT_MAX}}},
    };
    setProcessorCountForTesting(4);
    for (const Case& c : cases) {
        KtTexIndexer tall;
        tall.setSize(1, INT_MAX);
        Imager imager;
        imager.target = &tall;
        imager.targetWidth = 1;
        imager.targetHeight = INT_MAX;
        if (c.windowY0 >= 0) imager.setWindow(0, c.windowY0, 0, INT_MAX - 1);
        imager.setFieldMode(c.fieldMode);
        KtRowBand bands[4] = {};
        runParallel(
            [](void* self, void* out, void*, void*, void*, void*) {
                static_cast<KtRowBand*>(out)[threadIndex()] =
                    static_cast<Imager*>(self)->threadRows();
            },
            2, &imager, bands);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(bands[i].first, c.bands[i][0]) << "band " << i;
            EXPECT_EQ(bands[i].last, c.bands[i][1]) << "band " << i;
        }
    }
    EXPECT_EQ((KtRowBand{0, INT_MAX, 2}).rowCount(), 1073741824);
}

// Drives a choice on a machine where one run costs `alone` or `split` seconds per byte, and every
// `stallEvery`th timed split run (0: none) ten times as much: the ways taken, 'a' or 's' per run,
// and how many runs of each way were timed.
struct Driven {
    std::string ways;
    int timed[2] = {0, 0};
};
Driven drive(KtSplitChoice& choice, double alone, double split, std::size_t runs,
             int stallEvery = 0) {
    Driven driven;
    for (std::size_t i = 0; i < runs; ++i) {
        const KtSplitChoice::Run run = choice.next();
        driven.ways += run.split ? 's' : 'a';
        if (!run.timed) continue;
        const int timed = ++driven.timed[run.split];
        const bool stalled = run.split && stallEvery > 0 && timed % stallEvery == 0;
        choice.record(run.split, run.split ? split * (stalled ? 10.0 : 1.0) : alone);
    }
    return driven;
}

std::string repeated(char way, std::size_t runs) {
    return std::string(runs, way);
}

TEST_F(Framework, SplitChoiceTimesBothWaysTakesTheFasterAndFollowsTheLoad) {
    constexpr std::size_t kTrial = kSplitTrialRuns, kRetry = kSplitRetryRuns;
    constexpr int kTimedPerTrial = static_cast<int>(kSplitTrialRuns - kSplitSettleRuns);
    KtSplitChoice choice;

    // Idle: splitting halves the time. A trial of each way, then the faster, with a trial of the
    // slower way every kSplitRetryRuns runs.
    Driven idle = drive(choice, 2.0, 1.0, 2 * kTrial + (kRetry - 1) + kTrial + 1);
    EXPECT_EQ(idle.ways, repeated('a', kTrial) + repeated('s', kTrial) + repeated('s', kRetry - 1) +
                             repeated('a', kTrial) + "s");
    EXPECT_EQ(idle.timed[0], 2 * kTimedPerTrial) << "only settled runs are timed";

    // Loaded: now one thread is faster. The split runs show it slower at once, and the next
    // trial of one thread, whose cost the runs before had left at 2, finds it faster.
    Driven loaded = drive(choice, 1.0, 1.5, (kRetry - 2) + kTrial + 10);
    EXPECT_EQ(loaded.ways, repeated('s', kRetry - 2) + repeated('a', kTrial) + repeated('a', 10));

    // A split run stalled 100 times over does not turn the choice: a window's slowest run is
    // left out.
    KtSplitChoice steady;
    drive(steady, 2.0, 1.0, 2 * kTrial);
    drive(steady, 2.0, 1.0, kSplitWindowRuns - 1);
    steady.next();
    steady.record(true, 100.0);
    EXPECT_EQ(drive(steady, 2.0, 1.0, kRetry / 2).ways, repeated('s', kRetry / 2));

    // Loaded, where a worker loses its processor in one split run of four: splitting is faster
    // run by run but slower in all, and the stalls count in full.
    KtSplitChoice stalling;
    EXPECT_EQ(drive(stalling, 2.0, 1.0, 2 * kTrial + 10, 4).ways,
              repeated('a', kTrial) + repeated('s', kTrial) + repeated('a', 10));
}

// A job whose bands take `callerMs` on the calling thread and `workerMs` on a worker, counting
// the runs in which a worker drew.
struct TimedBands {
    int callerMs;
    int workerMs;
    pid_t caller = gettid();
    std::atomic<int> splitRuns{0};
};

void timedBandJob(void* bands, void*, void*, void*, void*, void*) {
    auto& job = *static_cast<TimedBands*>(bands);
    const bool onWorker = gettid() != job.caller;
    if (onWorker && threadIndex() != 0) ++job.splitRuns;
    std::this_thread::sleep_for(std::chrono::milliseconds(onWorker ? job.workerMs : job.callerMs));
}

// The runner times work of a measured size both ways: one thread first, then split, each for a
// trial, and then goes the faster. Here a worker takes five times as long as the calling thread
// (as one that shares its processor with other work), so the runner goes on alone. Which way
// wins where both take as long depends on the machine's load, so that is left to the benchmark.
TEST_F(Framework, RunnerTimesBothWaysOfMeasuredWorkAndTakesTheFaster) {
    setProcessorCountForTesting(2);
    constexpr std::size_t kWork = std::size_t{3} << 20;  // no other test runs work of this size
    TimedBands job{1, 5};
    for (std::size_t run = 0; run < kSplitTrialRuns; ++run)
        runParallel(kWork, &timedBandJob, 1, &job);
    EXPECT_EQ(job.splitRuns.load(), 0) << "a first trial on one thread";
    for (std::size_t run = 0; run < kSplitTrialRuns; ++run)
        runParallel(kWork, &timedBandJob, 1, &job);
    EXPECT_GT(job.splitRuns.load(), 0) << "then a trial split over the workers";
    job.splitRuns = 0;
    constexpr int kAfter = 40;
    for (int run = 0; run < kAfter; ++run) runParallel(kWork, &timedBandJob, 1, &job);
    EXPECT_LE(job.splitRuns.load(), kAfter / 4) << "the slow worker was found out";

    // Below the measured sizes work is never split.
    TimedBands small{1, 1};
    for (int run = 0; run < 20; ++run)
        runParallel(kSplitMeasuredBytes - 1, &timedBandJob, 1, &small);
    EXPECT_EQ(small.splitRuns.load(), 0);
}

// ---- textures ------------------------------------------------------------------------------

// Sampling windows take their corners in either order and are clamped to the pixels; indices
// map relative to the window under each wrap mode (-1: none).
TEST_F(Framework, TextureWindowsAndWrapModes) {
    KtTexture<Rgba8, WorkColour> texture;
    texture.setSize(10, 480);
    texture.setSampleWindow(6, 3, -3, 900);
    struct Case {
        std::int32_t mode, index, expected;  // relative to the window's first index, 3
    };
    const Case cases[] = {{kWrapBorder, 3, 3},   {kWrapBorder, -1, -4}, {kWrapBorder, 4, -4},
                          {kWrapClamp, -100, 0}, {kWrapClamp, 100, 3},  {kWrapMirror, -1, 0},
                          {kWrapMirror, -5, 3},  {kWrapMirror, 4, 3},   {kWrapMirror, 8, 0},
                          {kWrapMirror, -10, 1}, {kWrapMirror, 17, 1},  {kWrapRepeat, -1, 3},
                          {kWrapRepeat, -4, 0},  {kWrapRepeat, 9, 1}};
    for (const Case c : cases) {
        texture.setWrapModes(c.mode, c.mode);
        EXPECT_EQ(texture.xAxis.map(3 + c.index), 3 + c.expected)
            << "mode " << c.mode << ", index " << c.index;
    }
}

}  // namespace
}  // namespace pattix
