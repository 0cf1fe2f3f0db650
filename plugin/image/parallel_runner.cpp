// The parallel runner, written with the C++ standard library: processor count read once, one run
// at a time under a mutex, the calling thread working band 0 and each other band offered to a
// worker that finds its band by looking its own id up in the id table.
//
// The workers are started by the first run that needs them and parked between runs: starting and
// joining a thread per frame cost more than drawing a frame, and on a busy machine a new thread
// waits for a processor before it can draw anything. A band whose worker has not taken it by the
// time the calling thread is done with its own is worked by the calling thread, so a worker that
// the system does not schedule costs no more than drawing that band on the caller.
#include "plugin/image/parallel_runner.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
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
// Tests may fix the split at a size; kSplitWorthBytes means "choose by measure".
std::atomic<std::size_t> g_splitThreshold{kSplitWorthBytes};

thread_local bool t_inRun = false;
// Set while a thread works a band other than the one its id stands for.
thread_local int t_bandOverride = -1;

// Constant-initialised: it holds no system object until a run contends for it, and it outlives
// every static destructor that may still take it.
constinit std::mutex g_runMutex;

int hardwareProcessors() noexcept {
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}

int processorCount() noexcept {
    int count = g_processorCount.load(std::memory_order_acquire);
    if (count < 0) {
        int expected = -1;
        g_processorCount.compare_exchange_strong(expected, hardwareProcessors(),
                                                 std::memory_order_acq_rel);
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

// Runs the job as band `band` on the calling thread.
void runAsBand(const JobRecord& job, int band) noexcept {
    t_bandOverride = band;
    job.run();
    t_bandOverride = -1;
}

// The parked workers of one processor count. Everything but the atomics is written only by a
// run's calling thread under the run mutex, while no worker holds a band.
class WorkerPool {
public:
    // Starts one worker per band but band 0. A worker that cannot be started leaves its band to
    // the calling thread. Null when memory runs out.
    static WorkerPool* start(int bands) noexcept {
        auto* pool = new (std::nothrow) WorkerPool(bands);
        if (pool == nullptr) return nullptr;
        pool->m_Ids.reset(new (std::nothrow) std::thread::id[bands]);
        pool->m_Offers.reset(new (std::nothrow) std::atomic<bool>[bands]);
        pool->m_Workers.reset(new (std::nothrow) std::thread[bands]);
        if (!pool->m_Ids || !pool->m_Offers || !pool->m_Workers) {
            delete pool;
            return nullptr;
        }
        for (int band = 0; band < bands; ++band)
            pool->m_Offers[band].store(false, std::memory_order_relaxed);
        for (int band = 1; band < bands; ++band) {
            try {
                pool->m_Workers[band] = std::thread(&WorkerPool::work, pool, band);
                pool->m_Ids[band] = pool->m_Workers[band].get_id();
            } catch (...) {
                // No worker for this band (its id stays "no thread"): the caller works it.
            }
        }
        return pool;
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Stops and joins every worker.
    ~WorkerPool() {
        if (m_Workers) {
            m_Quit.store(true, std::memory_order_relaxed);
            m_Generation.fetch_add(1, std::memory_order_release);
            m_Generation.notify_all();
            for (int band = 1; band < m_Bands; ++band) {
                if (m_Workers[band].joinable()) m_Workers[band].join();
            }
        }
    }

    int bands() const noexcept { return m_Bands; }

    const std::thread::id* ids() const noexcept { return m_Ids.get(); }

    void run(const JobRecord& job) noexcept {
        m_Job = &job;
        m_Ids[0] = std::this_thread::get_id();
        m_Done.store(0, std::memory_order_relaxed);
        // A worker may still be waking from an earlier run; whichever run it woke for, the offer
        // it takes is this run's, with this run's job published before it.
        for (int band = 1; band < m_Bands; ++band)
            m_Offers[band].store(true, std::memory_order_release);
        m_Generation.fetch_add(1, std::memory_order_release);
        m_Generation.notify_all();

        t_inRun = true;
        job.run();
        std::uint32_t worked = 0;
        for (int band = 1; band < m_Bands; ++band) {
            if (take(band)) {
                runAsBand(job, band);
                ++worked;
            }
        }
        t_inRun = false;

        const auto byWorkers = static_cast<std::uint32_t>(m_Bands - 1) - worked;
        for (std::uint32_t done; (done = m_Done.load(std::memory_order_acquire)) != byWorkers;)
            m_Done.wait(done, std::memory_order_acquire);
        m_Job = nullptr;
    }

private:
    explicit WorkerPool(int bands) noexcept : m_Bands(bands) {}

    // True for the one thread, worker or caller, that gets the band of this run.
    bool take(int band) noexcept {
        return m_Offers[band].load(std::memory_order_relaxed) &&
               m_Offers[band].exchange(false, std::memory_order_acq_rel);
    }

    void work(int band) noexcept {
        std::uint32_t seen = 0;
        for (;;) {
            m_Generation.wait(seen, std::memory_order_acquire);
            seen = m_Generation.load(std::memory_order_acquire);
            if (m_Quit.load(std::memory_order_relaxed)) return;
            if (!take(band)) continue;  // the calling thread got there first
            t_inRun = true;
            m_Job->run();
            t_inRun = false;
            m_Done.fetch_add(1, std::memory_order_release);
            m_Done.notify_one();
        }
    }

    const int m_Bands;
    std::unique_ptr<std::thread::id[]> m_Ids;
    std::unique_ptr<std::atomic<bool>[]> m_Offers;
    std::unique_ptr<std::thread[]> m_Workers;  // entry 0 unused: band 0 is the caller's
    const JobRecord* m_Job = nullptr;
    std::atomic<std::uint32_t> m_Generation{0};
    std::atomic<std::uint32_t> m_Done{0};
    std::atomic<bool> m_Quit{false};
};

// Read by a run's own threads only (t_inRun), after the run's calling thread set it.
WorkerPool* g_pool = nullptr;
// Set when the workers were asked to stop from inside a run; the run's calling thread stops them
// once the run is over.
std::atomic<bool> g_stopAfterRun{false};

void stopPoolLocked() noexcept {
    delete g_pool;
    g_pool = nullptr;
    g_stopAfterRun.store(false, std::memory_order_relaxed);
}

// Joins the workers when the module's code is unmapped or the process ends without the host
// having asked first; a run still going on another thread at exit keeps its workers.
struct PoolReaper {
    ~PoolReaper() {
        std::unique_lock<std::mutex> runLock(g_runMutex, std::try_to_lock);
        if (runLock.owns_lock()) stopPoolLocked();
    }
} g_reaper;

JobRecord makeRecord(ParallelJob job, int argumentCount,
                     void* const (&given)[kMaxParallelArguments]) {
    JobRecord record{job, {}};
    const int kept = std::clamp(argumentCount, 0, kMaxParallelArguments);
    for (int i = 0; i < kept; ++i) record.arguments[i] = given[i];
    return record;
}

// One choice per power of two of work from kSplitMeasuredBytes up to kSplitWorthBytes, kept
// under the run mutex.
constexpr int kFirstMeasuredPower = 20;
static_assert(kSplitMeasuredBytes == std::size_t{1} << kFirstMeasuredPower);
constexpr int kMeasuredPowers = 4;
static_assert(kSplitWorthBytes == kSplitMeasuredBytes << kMeasuredPowers);
std::array<KtSplitChoice, kMeasuredPowers> g_choices;

KtSplitChoice& choiceFor(std::size_t workBytes) noexcept {
    int power = kFirstMeasuredPower;
    while (power + 1 < kFirstMeasuredPower + kMeasuredPowers && (workBytes >> (power + 1)) != 0)
        ++power;
    return g_choices[static_cast<std::size_t>(power - kFirstMeasuredPower)];
}

void runAlone(const JobRecord& record, int count) noexcept {
    for (int band = 0; band < count; ++band) runAsBand(record, band);
}

// Runs on the workers; false when they could not be started (the bands then ran alone).
bool runSplit(const JobRecord& record, int count) noexcept {
    if (g_pool != nullptr && g_pool->bands() != count) stopPoolLocked();
    if (g_pool == nullptr) g_pool = WorkerPool::start(count);
    if (g_pool == nullptr) {
        runAlone(record, count);
        return false;
    }
    g_pool->run(record);
    return true;
}

void runRecord(const JobRecord& record, std::size_t workBytes) noexcept {
    const int count = processorCount();
    if (!kThreadingEnabled || count <= 1) {
        record.run();
        return;
    }
    std::lock_guard<std::mutex> runLock(g_runMutex);
    g_running.store(true, std::memory_order_release);
    const std::size_t fixedThreshold = g_splitThreshold.load(std::memory_order_relaxed);
    if (fixedThreshold != kSplitWorthBytes) {
        if (workBytes < fixedThreshold) {
            runAlone(record, count);
        } else {
            runSplit(record, count);
        }
    } else if (workBytes < kSplitMeasuredBytes) {
        runAlone(record, count);
    } else if (workBytes >= kSplitWorthBytes) {
        runSplit(record, count);
    } else {
        KtSplitChoice& choice = choiceFor(workBytes);
        const KtSplitChoice::Run run = choice.next();
        // A run that has to start the workers is not timed: starting threads is not what the
        // next run would pay.
        const bool workersUp = g_pool != nullptr && g_pool->bands() == count;
        const auto start = std::chrono::steady_clock::now();
        bool timed = run.timed;
        if (run.split) {
            timed = runSplit(record, count) && workersUp && timed;
        } else {
            runAlone(record, count);
        }
        if (timed) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            choice.record(run.split, took.count() / static_cast<double>(workBytes));
        }
    }
    g_running.store(false, std::memory_order_release);
    if (g_stopAfterRun.load(std::memory_order_relaxed)) stopPoolLocked();
}

}  // namespace

void runParallel(ParallelJob job, int argumentCount, void* argument0, void* argument1,
                 void* argument2, void* argument3, void* argument4, void* argument5) noexcept {
    runParallel(kSplitAlways, job, argumentCount, argument0, argument1, argument2, argument3,
                argument4, argument5);
}

void runParallel(std::size_t workBytes, ParallelJob job, int argumentCount, void* argument0,
                 void* argument1, void* argument2, void* argument3, void* argument4,
                 void* argument5) noexcept {
    if (job == nullptr) return;
    void* const given[kMaxParallelArguments] = {argument0, argument1, argument2,
                                                argument3, argument4, argument5};
    runRecord(makeRecord(job, argumentCount, given), workBytes);
}

KtSplitChoice::Run KtSplitChoice::next() noexcept {
    bool split;
    if (m_TrialLeft == 0 && (m_Cost[0] == 0.0 || m_Cost[1] == 0.0)) {
        m_TrialSplit = m_Cost[0] != 0.0;  // one thread first, then split
        m_TrialLeft = kSplitTrialRuns;
    } else if (m_TrialLeft == 0 && ++m_SinceTrial >= kSplitRetryRuns) {
        m_TrialSplit = !(m_Cost[1] < m_Cost[0]);  // the slower way
        m_TrialLeft = kSplitTrialRuns;
        m_SinceTrial = 0;
    }
    if (m_TrialLeft > 0) {
        split = m_TrialSplit;
        --m_TrialLeft;
    } else {
        split = m_Cost[1] < m_Cost[0];
    }
    if (split != m_LastSplit) closeWindow(m_LastSplit);  // a trial cut short still tells
    m_Streak = split == m_LastSplit ? m_Streak + 1 : 1;
    m_LastSplit = split;
    return {split, m_Streak > kSplitSettleRuns};
}

void KtSplitChoice::record(bool split, double secondsPerByte) noexcept {
    if (!(secondsPerByte > 0.0)) return;
    const int way = split ? 1 : 0;
    m_WindowSum[way] += secondsPerByte;
    m_WindowSlowest[way] = std::max(m_WindowSlowest[way], secondsPerByte);
    if (++m_WindowRuns[way] >= kSplitWindowRuns) closeWindow(split);
}

void KtSplitChoice::closeWindow(bool split) noexcept {
    const int way = split ? 1 : 0;
    if (m_WindowRuns[way] >= 2) {
        m_Cost[way] = (m_WindowSum[way] - m_WindowSlowest[way]) / (m_WindowRuns[way] - 1);
    }
    m_WindowSum[way] = 0.0;
    m_WindowSlowest[way] = 0.0;
    m_WindowRuns[way] = 0;
}

int threadIndex() noexcept {
    if (t_bandOverride >= 0) return t_bandOverride;
    if (!kThreadingEnabled || !t_inRun || !g_running.load(std::memory_order_acquire) ||
        processorCount() < 2 || g_pool == nullptr) {
        return 0;
    }
    const std::thread::id self = std::this_thread::get_id();
    const std::thread::id* ids = g_pool->ids();
    for (int i = 0; i < g_pool->bands(); ++i) {
        if (ids[i] == self) return i;
    }
    return 0;
}

int threadCount() noexcept {
    return kThreadingEnabled ? processorCount() : 1;
}

void stopParallelWorkers() noexcept {
    if (t_inRun || t_bandOverride >= 0) {
        // This thread is part of a run and the run mutex is held for it: waiting for the
        // workers here would wait for this very run.
        g_stopAfterRun.store(true, std::memory_order_relaxed);
        return;
    }
    std::lock_guard<std::mutex> runLock(g_runMutex);
    stopPoolLocked();
}

void setProcessorCountForTesting(int count) noexcept {
    std::lock_guard<std::mutex> runLock(g_runMutex);
    g_processorCount.store(count > 0 ? count : hardwareProcessors(), std::memory_order_release);
}

void setSplitThresholdForTesting(std::size_t bytes) noexcept {
    g_splitThreshold.store(bytes, std::memory_order_relaxed);
}

}  // namespace pattix
