#include "plugin/image/generator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <climits>
#include <thread>
#include <vector>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using Texture8 = KtTexture<Rgba8, WorkColour>;

Rgba8 markOf(std::int32_t x, std::int32_t y) {
    return Rgba8(static_cast<unsigned char>(x), static_cast<unsigned char>(y), 1, 255);
}

// Writes markOf(x, y) over its rows and records which thread drew each row.
class MarkingGenerator : public Generator<Texture8> {
public:
    std::vector<int> rowOwner;  // by stored row; -1 where nothing was drawn
    std::atomic<int> beginCalls{0};
    std::atomic<int> endCalls{0};
    std::atomic<int> generateCalls{0};

    explicit MarkingGenerator(std::int32_t rows) : rowOwner(static_cast<std::size_t>(rows), -1) {}

    void begin(Texture8*) noexcept override { ++beginCalls; }
    void end(Texture8*) noexcept override { ++endCalls; }
    void generate(Texture8* texture) noexcept override {
        ++generateCalls;
        const int me = (imagerFlags & kImagerNoThreads) ? 0 : threadIndex();
        const KtRowBand band = threadRows();
        const KtColumnSpan span = columns();
        for (std::int32_t y = band.first; y < band.last; y += band.step) {
            if (stopRequested()) return;
            for (std::int32_t x = span.x0; x < span.x1; ++x) *texture->pixelAt(x, y) = markOf(x, y);
            rowOwner[static_cast<std::size_t>(y - texture->yAxis.start)] = me;
        }
    }

    std::vector<int> drawnRows() const {
        std::vector<int> rows;
        for (std::size_t y = 0; y < rowOwner.size(); ++y) {
            if (rowOwner[y] >= 0) rows.push_back(static_cast<int>(y));
        }
        return rows;
    }
    int calls() const { return beginCalls + endCalls + generateCalls; }
};

class GeneratorProcess : public ::testing::Test {
protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

// Each processor takes a chunk of ceil(rows / processors) rows from the window's first row; in a
// field mode a thread draws the rows of its chunk whose absolute parity is the field's.
TEST_F(GeneratorProcess, BandsAndFieldsGiveEachRowToOneThread) {
    struct Case {
        int processors, rows, windowY0, windowY1, fieldMode;
        std::vector<int> owners;
    };
    const Case cases[] = {{4, 10, 0, 9, 0, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3}},
                          {4, 2, 0, 1, 0, {0, 1}},  // two bands left empty
                          {2, 12, 5, 9, 0, {-1, -1, -1, -1, -1, 0, 0, 0, 1, 1, -1, -1}},
                          {1, 12, 3, 9, 1, {-1, -1, -1, -1, 0, -1, 0, -1, 0, -1, -1, -1}},
                          {1, 12, 4, 10, 2, {-1, -1, -1, -1, -1, 0, -1, 0, -1, 0, -1, -1}},
                          // bands 0-2, 3-5, 6-8, 9: three of them start on odd rows
                          {4, 10, 0, 9, 1, {0, -1, 0, -1, 1, -1, 2, -1, 2, -1}},
                          {4, 10, 0, 9, 2, {-1, 0, -1, 1, -1, 1, -1, 2, -1, 3}}};
    for (const Case& c : cases) {
        setProcessorCountForTesting(c.processors);
        Canvas<Rgba8> canvas(5, c.rows);
        MarkingGenerator generator(c.rows);
        generator.setWindow(0, c.windowY0, 4, c.windowY1);
        generator.setFieldMode(c.fieldMode);
        generator.process(&canvas.texture);
        EXPECT_EQ(generator.rowOwner, c.owners)
            << c.processors << " processors, window rows " << c.windowY0 << "-" << c.windowY1
            << ", field mode " << c.fieldMode;
        EXPECT_EQ(generator.generateCalls.load(), c.processors);
    }
}

// Pictures of nearly 2^31 rows: the band arithmetic passes 32 bits on its way (rows plus
// processors, a band's end moved to the field's parity), its results do not.
TEST_F(GeneratorProcess, BandsOfPicturesNearTwoToThe31RowsStayInRange) {
    constexpr std::int32_t kChunk = 536870912;  // ceil((2^31 - 1) / 4)
    struct Case {
        std::int32_t windowY0, fieldMode;  // windowY0 < 0: no window, the whole texture
        std::array<KtRowBand, 4> bands;
    };
    const Case cases[] = {
        {-1,
         2,
         {{{1, kChunk, 2},
           {kChunk + 1, 2 * kChunk, 2},
           {2 * kChunk + 1, 3 * kChunk, 2},
           {3 * kChunk + 1, INT_MAX, 2}}}},
        // The top two rows over four processors: the last two bands are empty at 2^31 - 1.
        {INT_MAX - 2,
         1,
         {{{INT_MAX - 1, INT_MAX - 1, 2},
           {INT_MAX - 1, INT_MAX, 2},
           {INT_MAX, INT_MAX, 2},
           {INT_MAX, INT_MAX, 2}}}},
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
        std::array<KtRowBand, 4> bands{};
        runParallel(
            [](void* self, void* out, void*, void*, void*, void*) {
                static_cast<KtRowBand*>(out)[threadIndex()] =
                    static_cast<Imager*>(self)->threadRows();
            },
            2, &imager, bands.data());
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(bands[i].first, c.bands[i].first) << "band " << i;
            EXPECT_EQ(bands[i].last, c.bands[i].last) << "band " << i;
        }
    }
    EXPECT_EQ((KtRowBand{0, INT_MAX, 2}).rowCount(), 1073741824);
    EXPECT_EQ((KtRowBand{3 * kChunk + 1, INT_MAX, 2}).rowCount(), 268435455);
}

// ---- windows ------------------------------------------------------------------------------

TEST_F(GeneratorProcess, WindowsLargerThanOrOutsideTheTextureAreClippedToIt) {
    struct Case {
        int x0, y0, x1, y1;
        int clippedX0, clippedY0, clippedX1, clippedY1;  // the drawn pixels, ends exclusive
    };
    for (const Case c : {Case{-5, -2, 40, 30, 0, 0, 6, 4},
                         Case{3, 2, 9, 9, 3, 2, 6, 4},       // over the top right corner
                         Case{10, 1, 20, 2, 5, 1, 5, 3},     // right of it: nothing
                         Case{2, -9, 3, -4, 2, 0, 4, 0},     // below row 0: nothing
                         Case{-9, 0, -1, 3, 0, 0, 0, 4}}) {  // left of column 0: nothing
        Canvas<Rgba8> canvas(6, 4);
        MarkingGenerator generator(4);
        generator.setWindow(c.x0, c.y0, c.x1, c.y1);
        generator.process(&canvas.texture);
        EXPECT_EQ(generator.windowX0, c.clippedX0);
        EXPECT_EQ(generator.windowY0, c.clippedY0);
        EXPECT_EQ(generator.windowX1, c.clippedX1);
        EXPECT_EQ(generator.windowY1, c.clippedY1);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const bool inside =
                    x >= c.clippedX0 && x < c.clippedX1 && y >= c.clippedY0 && y < c.clippedY1;
                ASSERT_EQ(canvas.at(x, y), inside ? markOf(x, y) : Rgba8())
                    << "window " << c.x0 << "," << c.y0 << ": " << x << "," << y;
            }
        }
    }
}

TEST_F(GeneratorProcess, WindowsAreInTheTexturesOwnCoordinates) {
    Canvas<Rgba8> canvas(4, 4);
    canvas.texture.xAxis.start = 10;
    canvas.texture.yAxis.start = -2;
    MarkingGenerator generator(4);
    generator.process(&canvas.texture);  // no window: the whole texture, columns 10-13, rows -2-1
    EXPECT_EQ(canvas.memory[0], markOf(10, -2));
    EXPECT_EQ(canvas.memory[15], markOf(13, 1));
}

// ---- threads ------------------------------------------------------------------------------

TEST_F(GeneratorProcess, EveryPassRunsOnEveryThreadOrOnceOnTheCallerWithoutThreads) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvas(3, 9);
    MarkingGenerator generator(9);
    generator.passCount = 3;
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.generateCalls.load(), 6);
    EXPECT_EQ(generator.beginCalls.load(), 1);
    EXPECT_EQ(generator.endCalls.load(), 1);

    setProcessorCountForTesting(4);
    MarkingGenerator alone(9);
    alone.imagerFlags |= kImagerNoThreads;
    alone.process(&canvas.texture);
    EXPECT_EQ(alone.generateCalls.load(), 1);
    EXPECT_EQ(alone.rowOwner, std::vector<int>(9, 0));
}

// Two host threads render at once: a thread of one host's run that finds a thread of the
// other's inside generate too has seen two runs interleave.
class HostGenerator : public Generator<Texture8> {
public:
    static inline std::atomic<int> inside[2];
    static inline std::atomic<bool> interleaved{false};
    int host = 0;

    void generate(Texture8*) noexcept override {
        ++inside[host];
        for (int look = 0; look < 2; ++look) {
            if (inside[1 - host] > 0) interleaved = true;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        --inside[host];
    }
};

TEST_F(GeneratorProcess, TwoHostThreadsCallingProcessNeverInterleaveRuns) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvasA(4, 4), canvasB(4, 4);
    HostGenerator a, b;
    b.host = 1;
    a.passCount = b.passCount = 25;
    std::thread hostA([&] { a.process(&canvasA.texture); });
    std::thread hostB([&] { b.process(&canvasB.texture); });
    hostA.join();
    hostB.join();
    EXPECT_FALSE(HostGenerator::interleaved);
}

// ---- interrupts ---------------------------------------------------------------------------

// The record as the effect lays it out: the record, then a 32-bit stop code.
struct InterruptBlock {
    KtInterruptRecord record;
    std::int32_t stopCode;
};

// Goes on at the first call, the poll before the pass, and stops at every later one.
int stopAfterFirstCall(void* calls, void* pastRecord) {
    if (static_cast<std::atomic<int>*>(calls)->fetch_add(1) == 0) return 0;
    // Each thread that asks writes the same code; the effect's own check does the same.
    std::atomic_ref<std::int32_t>(*static_cast<std::int32_t*>(pastRecord)).store(10000);
    return 1;
}

TEST_F(GeneratorProcess, AStopOnTheFirstRowPollStopsEveryThreadBeforeItsFirstRow) {
    setProcessorCountForTesting(4);
    Canvas<Rgba8> canvas(5, 40);
    MarkingGenerator generator(40);
    std::atomic<int> calls{0};
    InterruptBlock block{{&calls, &stopAfterFirstCall, 0}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_TRUE(generator.drawnRows().empty());
    EXPECT_EQ(generator.generateCalls.load(), 4);
    EXPECT_EQ(block.record.aborted, 1);
    EXPECT_EQ(block.stopCode, 10000);
    EXPECT_EQ(generator.endCalls.load(), 1);
    for (const Rgba8& pixel : canvas.memory) ASSERT_EQ(pixel, Rgba8());
}

TEST_F(GeneratorProcess, AnAbortedRecordStopsBeforeThePassAndOneWithoutCallbackNever) {
    Canvas<Rgba8> canvas(5, 10);
    MarkingGenerator generator(10);
    std::atomic<int> calls{0};
    InterruptBlock block{{&calls, &stopAfterFirstCall, 1}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.generateCalls.load(), 0);
    EXPECT_EQ(generator.beginCalls.load(), 1);
    EXPECT_EQ(generator.endCalls.load(), 1);
    EXPECT_EQ(calls.load(), 0);

    MarkingGenerator unstoppable(10);
    InterruptBlock none{{nullptr, nullptr, 0}, 0};
    unstoppable.interrupt = &none.record;
    unstoppable.process(&canvas.texture);
    EXPECT_EQ(unstoppable.drawnRows().size(), 10u);
}

// ---- null and bogus textures --------------------------------------------------------------

TEST_F(GeneratorProcess, NullAndEmptyTexturesAreReportedAndNothingRuns) {
    MarkingGenerator generator(1);
    ::testing::internal::CaptureStderr();
    generator.process(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Map passed into Generator::process is NULL\n");
    EXPECT_EQ(generator.calls(), 0);

    std::vector<Rgba8> memory(16);
    struct Case {
        std::int32_t width, height;
        bool withData;
    };
    for (const Case c :
         {Case{0, 4, true}, Case{4, 0, true}, Case{-1, 4, true}, Case{4, 4, false}}) {
        Texture8 texture;
        texture.setSize(c.width, c.height);
        texture.data = c.withData ? memory.data() : nullptr;
        texture.rowBytes = 16;
        ::testing::internal::CaptureStderr();
        generator.process(&texture);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Map passed into Generator::process is bogus\n");
        EXPECT_EQ(generator.calls(), 0);
    }
}

}  // namespace
}  // namespace pattix
