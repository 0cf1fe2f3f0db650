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

// Work writing fewer bytes than this gains nothing from the workers. On the 2-core build machine
// one thread already writes memory about as fast as two: generators_bench's Crossover benchmarks
// show a split memset slower than one thread below 16 MiB and coming level with it only above,
// idle or loaded, so 1080 frames of either depth are drawn on the calling thread alone.
inline constexpr std::size_t kSplitWorthBytes = std::size_t{16} << 20;
inline constexpr std::size_t kSplitAlways = ~std::size_t{0};

// As above, for a job that writes about `workBytes` bytes in all. Below kSplitWorthBytes the
// bands run one after the other on the calling thread, each seeing the threadIndex() and
// threadCount() it would see on its own thread.
void runParallel(std::size_t workBytes, ParallelJob job, int argumentCount,
                 void* argument0 = nullptr, void* argument1 = nullptr, void* argument2 = nullptr,
                 void* argument3 = nullptr, void* argument4 = nullptr,
                 void* argument5 = nullptr) noexcept;

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
// Tests only: work below `bytes` runs on the calling thread; kSplitWorthBytes restores it.
void setSplitThresholdForTesting(std::size_t bytes) noexcept;

}  // namespace pattix
