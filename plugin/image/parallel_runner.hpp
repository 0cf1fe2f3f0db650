// The process-wide parallel runner: runs one job once on every processor, the calling thread
// doing band 0 and one parked worker per extra processor the others. Only one run proceeds at a
// time in the process.
#pragma once

#include <cstddef>

namespace pattix {

// A job receives the run's arguments in order; arguments past the run's count are null.
using ParallelJob = void (*)(void*, void*, void*, void*, void*, void*);

inline constexpr int kMaxParallelArguments = 6;

// Runs `job` on every processor and returns when all have finished. At most six arguments are
// kept; a larger `argumentCount` is cut to six.
void runParallel(ParallelJob job, int argumentCount, void* argument0 = nullptr,
                 void* argument1 = nullptr, void* argument2 = nullptr, void* argument3 = nullptr,
                 void* argument4 = nullptr, void* argument5 = nullptr) noexcept;

// Whether a second processor speeds a frame up depends on the machine's other work: on the
// 2-core build machine, idle, splitting a 1080 frame of any pattern made it about 1.6 times as
// fast, while with two busy processes beside it, it made it 10-40% slower (a worker that loses its
// processor mid-band holds up the whole frame). So work between these two sizes is split or not
// by measure (KtSplitChoice); below the first, waking a worker costs more than it can save, and
// from the second on, work is always split.
inline constexpr std::size_t kSplitMeasuredBytes = std::size_t{1} << 20;
inline constexpr std::size_t kSplitWorthBytes = std::size_t{16} << 20;
inline constexpr std::size_t kSplitAlways = ~std::size_t{0};

// As above, for a job that writes about `workBytes` bytes in all. Work that is not split runs
// its bands one after the other on the calling thread, each seeing the threadIndex() and
// threadCount() it would see on its own thread.
void runParallel(std::size_t workBytes, ParallelJob job, int argumentCount,
                 void* argument0 = nullptr, void* argument1 = nullptr, void* argument2 = nullptr,
                 void* argument3 = nullptr, void* argument4 = nullptr,
                 void* argument5 = nullptr) noexcept;

// The choice between one thread and all processors for work of one size. It times the runs of
// both ways, goes the faster, and every kSplitRetryRuns runs tries the other way for
// kSplitTrialRuns runs, so that it follows the machine's load as it changes. Only runs after
// kSplitSettleRuns of the same way are timed: a change of way moves the frame's lines from one
// processor's cache to the other's, and on the build machines' virtual processors a worker
// started drawing its band in time only after 15 to 70 split runs in a row, before which a split
// run took as long as one thread or longer. The cost of a way is its mean seconds per byte over
// its last kSplitWindowRuns timed runs (those of a trial), leaving out the slowest one. All the
// others count in full: on a loaded machine a worker loses its processor in run after run,
// and each loss is time the host waits (an average in which one run counted for at most twice
// the average had the runner split a quarter to over half of the frames there). The slowest is
// left out because one stall on an idle machine says little about the next. Not thread-safe: the
// runner keeps one per size under its run mutex.
inline constexpr unsigned kSplitRetryRuns = 1024;
inline constexpr unsigned kSplitTrialRuns = 96;
inline constexpr unsigned kSplitSettleRuns = 64;
inline constexpr unsigned kSplitWindowRuns = kSplitTrialRuns - kSplitSettleRuns;

class KtSplitChoice {
public:
    struct Run {
        bool split;
        bool timed;  // whether the run's time tells the cost of its way
    };
    Run next() noexcept;
    void record(bool split, double secondsPerByte) noexcept;

private:
    // Sets the cost of a way from its window's runs (two at least) and empties the window.
    void closeWindow(bool split) noexcept;

    double m_Cost[2] = {0.0, 0.0};  // one thread, split; 0 until measured
    double m_WindowSum[2] = {0.0, 0.0};
    double m_WindowSlowest[2] = {0.0, 0.0};
    unsigned m_WindowRuns[2] = {0, 0};
    unsigned m_SinceTrial = 0;
    unsigned m_TrialLeft = 0;
    unsigned m_Streak = 0;  // runs of the last way in a row
    bool m_TrialSplit = false;
    bool m_LastSplit = false;
};

// The calling thread's position in the current run: 0 for the thread that called runParallel,
// 1 to threadCount() - 1 for the threads it started, and 0 for any thread outside a run.
int threadIndex() noexcept;

// The number of threads a run uses: the processor count.
int threadCount() noexcept;

// Stops and joins the workers; the next run starts them again. Waits for a run in progress on
// another thread. Called from a thread inside a run (a job, or an interrupt callback), it leaves
// the stopping to the end of that run instead of waiting for the run it is part of.
void stopParallelWorkers() noexcept;

// Tests only: pretend the machine has `count` processors; 0 or less restores the real count.
// Waits for a run in progress to finish first.
void setProcessorCountForTesting(int count) noexcept;
// Tests only: work below `bytes` runs on the calling thread and the rest is split, without
// measuring; kSplitWorthBytes restores the measured choice.
void setSplitThresholdForTesting(std::size_t bytes) noexcept;

}  // namespace pattix
