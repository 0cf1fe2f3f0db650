// The parallel runner, written with the C++ standard library: processor count read once, one run at a time under a mutex, one thread
// per extra processor started for the run, the calling thread working band 0, and each thread
// finding its band by looking its own id up in the run's id table.
#include "plugin/image/parallel_runner.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace pattix {
namespace {

// Threading is never switched off in this system; the flag documents where it would be read.
constexpr bool kThreadingEnabled = true;

std::atomic<int> g_processorCount{-1};
std::atomic<bool> g_running{false};

// The id table of the run in progress. Written by the run's calling thread before the gate opens
// and cleared after every started thread has been joined; read only by the run's own threads
// (t_inRun), so those reads are ordered after the writes by the gate or by program order.
const std::thread::id* g_threadIds = nullptr;
int g_threadIdCount = 0;

thread_local bool t_inRun = false;
// Set while the calling thread works a band whose thread could not be started.
thread_local int t_bandOverride = -1;

// Created on first use, so a single-processor machine never creates it.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

int processorCount() noexcept {
    int count = g_processorCount.load(std::memory_order_acquire);
    if (count < 0) {
        const unsigned hardware = std::thread::hardware_concurrency();
        int expected = -1;
        g_processorCount.compare_exchange_strong(
            expected, hardware > 0 ? static_cast<int>(hardware) : 1, std::memory_order_acq_rel);
        count = g_processorCount.load(std::memory_order_acquire);
    }
    return count;
}

struct JobRecord {
    ParallelJob function;
    void* arguments[kMaxParallelArguments];

    void run() const noexcept {
        function(arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
                 arguments[5]);
    }
};

// Works the bands whose threads could not be started (or all bands but 0 when the tables could
// not be had) on the calling thread, so that a run always covers every band.
void runBandsHere(const JobRecord& job, const bool* started, int count) noexcept {
    for (int band = 1; band < count; ++band) {
        if (started != nullptr && started[band])
            continue;
        t_bandOverride = band;
        job.run();
    }
    t_bandOverride = -1;
}

}  // namespace

void runParallel(ParallelJob job, int argumentCount, void* argument0, void* argument1,
                 void* argument2, void* argument3, void* argument4, void* argument5) noexcept {
    if (job == nullptr)
        return;
    const int kept = std::clamp(argumentCount, 0, kMaxParallelArguments);
    void* const given[kMaxParallelArguments] = {argument0, argument1, argument2,
                                                argument3, argument4, argument5};
    JobRecord record{job, {}};
    for (int i = 0; i < kept; ++i)
        record.arguments[i] = given[i];

    const int count = processorCount();
    if (!kThreadingEnabled || count <= 1) {
        record.run();
        return;
    }

    std::lock_guard<std::mutex> runLock(runMutex());
    g_running.store(true, std::memory_order_release);

    std::unique_ptr<std::thread[]> threads(new (std::nothrow) std::thread[count - 1]);
    std::unique_ptr<std::thread::id[]> ids(new (std::nothrow) std::thread::id[count]);
    std::unique_ptr<bool[]> started(new (std::nothrow) bool[count]());
    if (!threads || !ids || !started) {
        t_inRun = true;
        record.run();
        runBandsHere(record, nullptr, count);
        t_inRun = false;
        g_running.store(false, std::memory_order_release);
        return;
    }

    // A started thread may run before its id is stored; it waits at this gate until the whole
    // table is filled, then looks itself up. The wait is a few hundred nanoseconds, so the
    // thread spins (yielding) rather than sleeping: waking a sleeping thread costs tens of
    // microseconds here, a good part of a frame.
    std::atomic<bool> gateOpen{false};
    for (int band = 1; band < count; ++band) {
        try {
            threads[band - 1] = std::thread([&record, &gateOpen] {
                while (!gateOpen.load(std::memory_order_acquire))
                    std::this_thread::yield();
                t_inRun = true;
                record.run();
                t_inRun = false;
            });
            ids[band] = threads[band - 1].get_id();
            started[band] = true;
        } catch (...) {
            // No thread for this band (the id stays "no thread"): the caller works it below.
        }
    }
    ids[0] = std::this_thread::get_id();
    started[0] = true;
    g_threadIds = ids.get();
    g_threadIdCount = count;
    gateOpen.store(true, std::memory_order_release);

    t_inRun = true;
    record.run();
    runBandsHere(record, started.get(), count);
    t_inRun = false;

    for (int i = 0; i < count - 1; ++i) {
        if (threads[i].joinable())
            threads[i].join();
    }
    g_threadIds = nullptr;
    g_threadIdCount = 0;
    g_running.store(false, std::memory_order_release);
}

int threadIndex() noexcept {
    if (t_bandOverride >= 0)
        return t_bandOverride;
    if (!kThreadingEnabled || !t_inRun || !g_running.load(std::memory_order_acquire) ||
        processorCount() < 2) {
        return 0;
    }
    const std::thread::id self = std::this_thread::get_id();
    for (int i = 0; i < g_threadIdCount; ++i) {
        if (g_threadIds[i] == self)
            return i;
    }
    return 0;
}

int threadCount() noexcept {
    return kThreadingEnabled ? processorCount() : 1;
}

void setProcessorCountForTesting(int count) noexcept {
    std::lock_guard<std::mutex> runLock(runMutex());
    if (count <= 0) {
        const unsigned hardware = std::thread::hardware_concurrency();
        count = hardware > 0 ? static_cast<int>(hardware) : 1;
    }
    g_processorCount.store(count, std::memory_order_release);
}

}  // namespace pattix
