// The process-wide parallel runner: runs one job once on every processor, one thread
// per extra processor for the length of the run, the calling thread doing band 0. Only one run
// proceeds at a time in the process.
#pragma once

namespace pattix {

// A job receives the run's arguments in order; arguments past the run's count are null.
using ParallelJob = void (*)(void*, void*, void*, void*, void*, void*);

inline constexpr int kMaxParallelArguments = 6;

// Runs `job` on every processor and returns when all have finished. At most six arguments are
// kept; a larger `argumentCount` is cut to six.
void runParallel(ParallelJob job, int argumentCount, void* argument0 = nullptr,
                 void* argument1 = nullptr, void* argument2 = nullptr, void* argument3 = nullptr,
                 void* argument4 = nullptr, void* argument5 = nullptr) noexcept;

// The calling thread's position in the current run: 0 for the thread that called runParallel,
// 1 to threadCount() - 1 for the threads it started, and 0 for any thread outside a run.
int threadIndex() noexcept;

// The number of threads a run uses: the processor count.
int threadCount() noexcept;

// Tests only: pretend the machine has `count` processors; 0 or less restores the real count.
// Waits for a run in progress to finish first.
void setProcessorCountForTesting(int count) noexcept;

}  // namespace pattix
