// The framework under the generators: the parallel runner, row bands at the edge of 32 bits,
// what a generator refuses, textures and the wide pixel runs. Whole pictures are checked by
// frame_checksums_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/pixel_runs.hpp"
#include "tests/image/canvas.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix {
namespace {

using test::Canvas;

class Framework : public ::testing::Test {
protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

// ---- the parallel runner -------------------------------------------------------------------

// What one run saw: the kernel thread of each band, the thread count each call saw, and the
// arguments band 0 received.
struct RunLog {
    int processors = 1;
    bool bandZeroWaits = true;
    bool stopWorkers = false;
    std::atomic<int> othersArrived{0};
    std::mutex lock;
    std::map<int, std::vector<pid_t>> threadsOfBand;
    std::vector<int> counts;
    void* arguments[6] = {};
};

// Band 0, on the calling thread, waits for every other band to arrive: the caller then has no
// band left to take over, so each band shows the thread it was meant for.
void logJob(void* log, void* a1, void* a2, void* a3, void* a4, void* a5) {
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
    if (band == 0) {
        void* const all[6] = {log, a1, a2, a3, a4, a5};
        std::copy(all, all + 6, run.arguments);
    }
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

TEST_F(Framework, SmallWorkStaysOnTheCallerAndArgumentsArriveAsCounted) {
    setProcessorCountForTesting(4);
    EXPECT_EQ(threadIndex(), 0) << "outside a run every thread is band 0";
    RunLog small;
    small.processors = 4;
    small.bandZeroWaits = false;  // the bands run one after the other
    int b = 0, c = 0, d = 0, e = 0, f = 0;
    runParallel(kSplitWorthBytes - 1, &logJob, 2, &small, &b, &c, &d, &e, &f);
    EXPECT_EQ(bandThreads(small), std::vector<pid_t>(4, gettid()));
    const void* const two[6] = {&small, &b, nullptr, nullptr, nullptr, nullptr};
    EXPECT_TRUE(std::equal(two, two + 6, small.arguments));
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

TEST_F(Framework, NullAndEmptyTexturesAreReportedAndNothingIsDrawn) {
    KtColBarGenerator8 generator;
    ::testing::internal::CaptureStderr();
    generator.process(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Map passed into Generator::process is NULL\n");
    std::vector<Rgba8> memory(16);
    using Bogus = std::tuple<int, int, Rgba8*>;
    for (const auto& [width, height, data] :
         {Bogus{0, 4, memory.data()}, Bogus{4, 0, memory.data()}, Bogus{-1, 4, memory.data()},
          Bogus{4, 4, nullptr}}) {
        KtTexture<Rgba8, WorkColour> texture;
        texture.setSize(width, height);
        texture.data = data;
        texture.rowBytes = 16;
        ::testing::internal::CaptureStderr();
        generator.process(&texture);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Map passed into Generator::process is bogus\n");
    }
    EXPECT_EQ(memory, std::vector<Rgba8>(16));
}

// ---- textures ------------------------------------------------------------------------------

// Sampling windows take their corners in either order and are clamped to the pixels; indices
// map relative to the window under each wrap mode (-1: none).
TEST_F(Framework, TextureWindowsAndWrapModes) {
    KtTexture<Rgba8, WorkColour> texture;
    texture.setSize(10, 480);
    texture.setSampleWindow(6, 3, -3, 900);
    EXPECT_EQ((std::array{texture.xAxis.windowLow, texture.xAxis.windowHigh,
                          texture.yAxis.windowLow, texture.yAxis.windowHigh}),
              (std::array{3, 6, 0, 479}));
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

// Bilinear samples in the stored scale, relative to the origin, along x then y; across the
// edge only border mode reads the border.
TEST_F(Framework, TextureSamples) {
    Canvas<Rgba8> canvas(4, 2, test::RowOrder::BottomUp);
    canvas.at(2, 0) = Rgba8(100, 0, 0, 0);
    canvas.at(1, 1) = Rgba8(0, 200, 0, 0);
    canvas.at(2, 1) = Rgba8(100, 200, 40, 0);
    canvas.at(3, 1) = Rgba8(40, 100, 0, 255);
    canvas.texture.setBorder(Rgba8(0, 0, 50, 0));
    canvas.texture.setOrigin(-1.0f, 0.0f);
    struct Case {
        std::int32_t mode;
        float x, y;
        WorkColour expected;
    };
    const Case cases[] = {
        {kWrapBorder, 1.5f, 1.5f, WorkColour(100, 200, 40, 0)},  // a pixel centre
        {kWrapBorder, 0.75f, 1.0f, WorkColour(25, 100, 5, 0)},   // sx = 0.25, sy = 0.5
        {kWrapBorder, 3.0f, 2.0f, WorkColour(20, 50, 25, 127.5f)},
        {kWrapClamp, 3.0f, 2.0f, WorkColour(40, 100, 0, 255)},
        {kWrapRepeat, 3.0f, 2.0f, WorkColour(20, 50, 0, 127.5f)},
    };
    for (const Case c : cases) {
        canvas.texture.setWrapModes(c.mode, kWrapClamp);
        WorkColour result;
        canvas.texture.sampleAround(result, c.x, c.y, 0.0f, 0.0f);
        EXPECT_EQ(result, c.expected) << "mode " << c.mode << " at " << c.x << "," << c.y;
    }
}

// Under the address sanitizer a stray free of the host's memory or a leak of an owned block
// fails the run.
TEST_F(Framework, OnlyAnOwningTextureReleasesItsMemory) {
    std::vector<Rgba8> host(16, Rgba8(1, 2, 3, 4));
    {
        KtTexture<Rgba8, WorkColour> view;
        view.setSize(4, 4);
        view.data = host.data();
    }
    KtTexture<Rgba8, WorkColour> texture;
    texture.setSize(2, 2);
    texture.data = ::operator new(16);
    texture.ownsData = 1;
    texture.refer(KtTexture<Rgba8, WorkColour>{});  // re-pointing releases the owned block
    EXPECT_EQ(texture.ownsData, 0);
}

// ---- pixel runs ----------------------------------------------------------------------------

// The wide fill and copy against a byte-by-byte expectation, at every 4-byte offset from a
// 32-byte boundary, through the cache and streamed; nothing outside the run is touched.
TEST_F(Framework, FillAndCopyWriteExactlyTheirBytesAtAnyAlignment) {
    const std::uint64_t pattern = 0x8877665544332211ull;
    unsigned char patternBytes[8];
    std::memcpy(patternBytes, &pattern, 8);
    alignas(64) static unsigned char source[4096];
    alignas(64) static unsigned char target[4096 + 64];
    for (std::size_t i = 0; i < sizeof source; ++i)
        source[i] = static_cast<unsigned char>(i * 7 + 3);
    for (const bool streaming : {false, true})
        for (std::size_t offset = 0; offset < 32; offset += 4)
            for (const std::size_t length : {4, 12, 200, 252, 260, 1000, 4092})
                for (const bool copy : {false, true}) {
                    std::memset(target, 0xEE, sizeof target);
                    if (copy)
                        detail::copyBytes(target + offset, source + 4, length, streaming);
                    else
                        detail::fillPattern(target + offset, length, pattern, streaming);
                    detail::finishStreaming();
                    for (std::size_t i = 0; i < sizeof target; ++i) {
                        const std::size_t k = i - offset;
                        unsigned char expected = 0xEE;
                        if (i >= offset && k < length)
                            expected = copy ? source[4 + k] : patternBytes[k % 8];
                        ASSERT_EQ(target[i], expected)
                            << "copy " << copy << ", streaming " << streaming << ", offset "
                            << offset << ", length " << length << ", byte " << i;
                    }
                }
}

}  // namespace
}  // namespace pattix
