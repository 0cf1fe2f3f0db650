#include "plugin/image/generator.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::RowOrder;
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
            if (stopRequested())
                return;
            for (std::int32_t x = span.x0; x < span.x1; ++x)
                *texture->pixelAt(x, y) = markOf(x, y);
            rowOwner[static_cast<std::size_t>(y - texture->yAxis.start)] = me;
        }
    }
};

class GeneratorProcess : public ::testing::Test {
  protected:
    void TearDown() override { setProcessorCountForTesting(0); }
};

std::vector<int> drawnRows(const MarkingGenerator& generator) {
    std::vector<int> rows;
    for (std::size_t y = 0; y < generator.rowOwner.size(); ++y) {
        if (generator.rowOwner[y] >= 0)
            rows.push_back(static_cast<int>(y));
    }
    return rows;
}

// ---- bands and fields ---------------------------------------------------------------------

TEST_F(GeneratorProcess, FourProcessorsSplitTenRowsIntoChunksOfThree) {
    setProcessorCountForTesting(4);
    Canvas<Rgba8> canvas(5, 10);
    MarkingGenerator generator(10);
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.rowOwner, (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3}));
    EXPECT_EQ(generator.generateCalls.load(), 4);
}

TEST_F(GeneratorProcess, FourProcessorsOverTwoRowsLeaveTwoBandsEmpty) {
    setProcessorCountForTesting(4);
    Canvas<Rgba8> canvas(5, 2);
    MarkingGenerator generator(2);
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.rowOwner, (std::vector<int>{0, 1}));
    EXPECT_EQ(generator.generateCalls.load(), 4);
}

TEST_F(GeneratorProcess, BandsOfAWindowStartAtItsFirstRow) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvas(4, 12);
    MarkingGenerator generator(12);
    generator.setWindow(0, 5, 3, 9);  // rows 5-9: chunk 3
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.rowOwner, (std::vector<int>{-1, -1, -1, -1, -1, 0, 0, 0, 1, 1, -1, -1}));
}

TEST_F(GeneratorProcess, FieldModeOneDrawsEvenRowsFromTheBandStart) {
    setProcessorCountForTesting(1);
    Canvas<Rgba8> canvas(4, 12);
    MarkingGenerator generator(12);
    generator.setWindow(0, 3, 3, 9);
    generator.setFieldMode(1);
    generator.process(&canvas.texture);
    EXPECT_EQ(drawnRows(generator), (std::vector<int>{4, 6, 8}));
}

TEST_F(GeneratorProcess, FieldModeTwoDrawsOddRowsFromTheBandStart) {
    setProcessorCountForTesting(1);
    Canvas<Rgba8> canvas(4, 12);
    MarkingGenerator generator(12);
    generator.setWindow(0, 4, 3, 10);
    generator.setFieldMode(2);
    generator.process(&canvas.texture);
    EXPECT_EQ(drawnRows(generator), (std::vector<int>{5, 7, 9}));
}

TEST_F(GeneratorProcess, FieldParityIsThatOfTheAbsoluteRowInEveryBand) {
    setProcessorCountForTesting(4);  // bands 0-2, 3-5, 6-8, 9: three of them start on odd rows
    for (const int mode : {1, 2}) {
        Canvas<Rgba8> canvas(3, 10);
        MarkingGenerator generator(10);
        generator.setFieldMode(mode);
        generator.process(&canvas.texture);
        std::vector<int> expected;
        for (int y = mode - 1; y < 10; y += 2)
            expected.push_back(y);
        EXPECT_EQ(drawnRows(generator), expected) << "field mode " << mode;
    }
}

// ---- windows ------------------------------------------------------------------------------

TEST_F(GeneratorProcess, AWindowOfTheWholeTextureCountsAsNoWindow) {
    Canvas<Rgba8> canvas(6, 4);
    MarkingGenerator generator(4);
    generator.setWindow(0, 0, 5, 3);
    EXPECT_NE(generator.imagerFlags & kImagerWindowSet, 0);
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.imagerFlags & kImagerWindowSet, 0);
    EXPECT_EQ(generator.columns().x0, 0);
    EXPECT_EQ(generator.columns().x1, 6);
}

TEST_F(GeneratorProcess, AWindowLargerThanTheTextureIsClipped) {
    Canvas<Rgba8> canvas(6, 4);
    MarkingGenerator generator(4);
    generator.setWindow(-5, -2, 40, 30);
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.windowX0, 0);
    EXPECT_EQ(generator.windowY0, 0);
    EXPECT_EQ(generator.windowX1, 6);
    EXPECT_EQ(generator.windowY1, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(canvas.at(x, y), markOf(x, y)) << x << "," << y;
    }
}

TEST_F(GeneratorProcess, AWindowOutsideTheTextureCollapsesOntoItsEdge) {
    Canvas<Rgba8> canvas(6, 4);
    MarkingGenerator generator(4);
    generator.setWindow(10, 1, 20, 2);  // right of the texture: only its last column
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.windowX0, 5);
    EXPECT_EQ(generator.windowX1, 6);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool inside = x == 5 && (y == 1 || y == 2);
            ASSERT_EQ(canvas.at(x, y), inside ? markOf(x, y) : Rgba8()) << x << "," << y;
        }
    }

    Canvas<Rgba8> below(6, 4);
    MarkingGenerator under(4);
    under.setWindow(2, -9, 3, -4);  // below row 0: only row 0
    under.process(&below.texture);
    EXPECT_EQ(drawnRows(under), std::vector<int>{0});
    EXPECT_EQ(below.at(2, 0), markOf(2, 0));
    EXPECT_EQ(below.at(4, 0), Rgba8());
}

TEST_F(GeneratorProcess, WindowsAreInTheTexturesOwnCoordinates) {
    Canvas<Rgba8> canvas(4, 4);
    canvas.texture.xAxis.start = 10;
    canvas.texture.yAxis.start = -2;
    MarkingGenerator generator(4);
    generator.process(&canvas.texture);  // no window: the whole texture, columns 10-13, rows -2-1
    EXPECT_NE(generator.imagerFlags & kImagerWindowSet, 0);
    EXPECT_EQ(canvas.memory[0], markOf(10, -2));
    EXPECT_EQ(canvas.memory[15], markOf(13, 1));
}

TEST_F(GeneratorProcess, NegativeRowStepDrawsTextureRowZeroAtTheEndOfTheBuffer) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvas(3, 5, RowOrder::BottomUp);
    MarkingGenerator generator(5);
    generator.process(&canvas.texture);
    EXPECT_EQ(canvas.memory[4 * 3 + 0], markOf(0, 0));
    EXPECT_EQ(canvas.memory[0 * 3 + 2], markOf(2, 4));
}

// ---- threads ------------------------------------------------------------------------------

TEST_F(GeneratorProcess, OneTwoAndFourThreadsDrawTheSameBytes) {
    auto render = [](int processors, Canvas<Rgba8>& canvas, int fieldMode) {
        setProcessorCountForTesting(processors);
        MarkingGenerator generator(canvas.height);
        generator.setWindow(3, 2, 30, 20);
        generator.setFieldMode(fieldMode);
        generator.process(&canvas.texture);
    };
    for (const int fieldMode : {0, 1, 2}) {
        Canvas<Rgba8> one(37, 23), two(37, 23), four(37, 23);
        render(1, one, fieldMode);
        render(2, two, fieldMode);
        render(4, four, fieldMode);
        EXPECT_TRUE(one.sameBytes(two)) << "field mode " << fieldMode;
        EXPECT_TRUE(one.sameBytes(four)) << "field mode " << fieldMode;
    }
}

TEST_F(GeneratorProcess, WithoutThreadsOneCallOnTheCallingThreadDrawsEverything) {
    setProcessorCountForTesting(4);
    Canvas<Rgba8> canvas(3, 9);
    MarkingGenerator generator(9);
    generator.imagerFlags |= kImagerNoThreads;
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.generateCalls.load(), 1);
    EXPECT_EQ(generator.rowOwner, std::vector<int>(9, 0));
}

TEST_F(GeneratorProcess, EveryPassRunsGenerate) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvas(3, 9);
    MarkingGenerator generator(9);
    generator.passCount = 3;
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.generateCalls.load(), 6);
    EXPECT_EQ(generator.beginCalls.load(), 1);
    EXPECT_EQ(generator.endCalls.load(), 1);
}

// Two host threads render at once; the runs of their passes must follow one another.
class IntervalGenerator : public Generator<Texture8> {
  public:
    static inline std::atomic<long> clock{0};
    std::mutex lock;
    std::vector<std::pair<long, long>> passes;  // per pass: first entry, last exit

    void generate(Texture8*) noexcept override {
        const long entered = clock.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        const long left = clock.fetch_add(1);
        std::lock_guard<std::mutex> hold(lock);
        if (passes.size() <= static_cast<std::size_t>(pass))
            passes.resize(pass + 1, {-1, -1});
        auto& [first, last] = passes[static_cast<std::size_t>(pass)];
        if (first < 0 || entered < first)
            first = entered;
        if (left > last)
            last = left;
    }
};

TEST_F(GeneratorProcess, TwoHostThreadsCallingProcessNeverInterleaveRuns) {
    setProcessorCountForTesting(2);
    Canvas<Rgba8> canvasA(4, 4), canvasB(4, 4);
    IntervalGenerator a, b;
    a.passCount = b.passCount = 25;
    std::thread hostA([&] { a.process(&canvasA.texture); });
    std::thread hostB([&] { b.process(&canvasB.texture); });
    hostA.join();
    hostB.join();
    ASSERT_EQ(a.passes.size(), 25u);
    ASSERT_EQ(b.passes.size(), 25u);
    for (const auto& [aFirst, aLast] : a.passes) {
        for (const auto& [bFirst, bLast] : b.passes) {
            ASSERT_TRUE(aLast < bFirst || bLast < aFirst)
                << "a run of one host overlaps a run of the other";
        }
    }
}

// ---- interrupts ---------------------------------------------------------------------------

// The record as the effect lays it out: the record, then a 32-bit stop code.
struct InterruptBlock {
    KtInterruptRecord record;
    std::int32_t stopCode;
};

struct StopAfter {
    std::atomic<int> calls{0};
    int goOnFor = 0;  // this many calls answer "go on"
};

int stopAfterCallback(void* userData, void* pastRecord) {
    auto& policy = *static_cast<StopAfter*>(userData);
    if (policy.calls.fetch_add(1) < policy.goOnFor)
        return 0;
    // Each thread that asks writes the same code; the effect's own check does the same.
    std::atomic_ref<std::int32_t>(*static_cast<std::int32_t*>(pastRecord)).store(10000);
    return 1;
}

TEST_F(GeneratorProcess, AStopOnTheFirstRowPollStopsEveryThreadBeforeItsFirstRow) {
    setProcessorCountForTesting(4);
    Canvas<Rgba8> canvas(5, 40);
    MarkingGenerator generator(40);
    StopAfter policy;
    policy.goOnFor = 1;  // the poll before the pass goes on; every row poll stops
    InterruptBlock block{{&policy, &stopAfterCallback, 0}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_TRUE(drawnRows(generator).empty());
    EXPECT_EQ(generator.generateCalls.load(), 4);
    EXPECT_EQ(block.record.aborted, 1);
    EXPECT_EQ(block.stopCode, 10000);
    EXPECT_EQ(generator.endCalls.load(), 1);
    for (const Rgba8& pixel : canvas.memory)
        ASSERT_EQ(pixel, Rgba8());
}

TEST_F(GeneratorProcess, AStopIsSeenBeforeTheNextRow) {
    setProcessorCountForTesting(1);
    Canvas<Rgba8> canvas(5, 10);
    MarkingGenerator generator(10);
    StopAfter policy;
    policy.goOnFor = 3;  // the pass poll and the polls of rows 0 and 1
    InterruptBlock block{{&policy, &stopAfterCallback, 0}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_EQ(drawnRows(generator), (std::vector<int>{0, 1}));
    EXPECT_EQ(policy.calls.load(), 4);
}

TEST_F(GeneratorProcess, AnAlreadyAbortedRecordStopsBeforeThePassWithoutCallingBack) {
    Canvas<Rgba8> canvas(5, 10);
    MarkingGenerator generator(10);
    StopAfter policy;
    InterruptBlock block{{&policy, &stopAfterCallback, 1}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_EQ(generator.generateCalls.load(), 0);
    EXPECT_EQ(generator.beginCalls.load(), 1);
    EXPECT_EQ(generator.endCalls.load(), 1);
    EXPECT_EQ(policy.calls.load(), 0);
}

TEST_F(GeneratorProcess, ARecordWithoutCallbackNeverStops) {
    Canvas<Rgba8> canvas(5, 10);
    MarkingGenerator generator(10);
    InterruptBlock block{{nullptr, nullptr, 0}, 0};
    generator.interrupt = &block.record;
    generator.process(&canvas.texture);
    EXPECT_EQ(drawnRows(generator).size(), 10u);
}

// ---- null and bogus textures --------------------------------------------------------------

TEST_F(GeneratorProcess, ANullTextureIsReportedAndNothingRuns) {
    MarkingGenerator generator(1);
    ::testing::internal::CaptureStderr();
    generator.process(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Map passed into Generator::process is NULL\n");
    EXPECT_EQ(
        generator.beginCalls.load() + generator.endCalls.load() + generator.generateCalls.load(),
        0);
}

TEST_F(GeneratorProcess, AnEmptyTextureIsReportedAsBogusAndNothingRuns) {
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
        MarkingGenerator generator(4);
        ::testing::internal::CaptureStderr();
        generator.process(&texture);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Map passed into Generator::process is bogus\n");
        EXPECT_EQ(generator.beginCalls.load() + generator.endCalls.load() +
                      generator.generateCalls.load(),
                  0);
    }
}

}  // namespace
}  // namespace pattix
