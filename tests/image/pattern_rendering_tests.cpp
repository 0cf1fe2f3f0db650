// What every pattern generator owes the render whatever its pattern: a frame split over 1, 2, 4
// or 8 threads, drawn window by window, one field at a time or streamed past the cache has the
// bytes of one full-frame rendering, and a stop is seen before the next row.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <ostream>
#include <type_traits>
#include <vector>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;

// A bar pattern, or a ramp type and direction, configured as the render configures it.
struct Pattern {
    bool bars;
    int kind;
    int direction = kRampHorizontal;
};

std::vector<Pattern> everyPattern() {
    std::vector<Pattern> all;
    for (int pattern = kEbuBars; pattern <= kSmpteBars; ++pattern) all.push_back({true, pattern});
    for (int type = kRgbRamp; type <= kGreyCrossedRamp; ++type) {
        for (const int direction : {kRampHorizontal, kRampVertical})
            all.push_back({false, type, direction});
    }
    return all;
}

std::ostream& operator<<(std::ostream& out, const Pattern& p) {
    out << (p.bars ? "bars " : "ramp ") << p.kind;
    if (!p.bars) out << ", direction " << p.direction;
    return out;
}

template <class Pixel>
class PatternRendering : public ::testing::Test {
protected:
    // These frames are small: split them anyway, so that the workers draw them.
    void SetUp() override { setSplitThresholdForTesting(0); }
    void TearDown() override {
        setProcessorCountForTesting(0);
        setSplitThresholdForTesting(kSplitWorthBytes);
    }

    static std::unique_ptr<Generator<KtTexture<Pixel, WorkColour>>> generator(const Pattern& p) {
        constexpr bool narrow = std::is_same_v<Pixel, Rgba8>;
        if (p.bars) {
            auto bars = std::make_unique<
                std::conditional_t<narrow, KtColBarGenerator8, KtColBarGenerator16>>();
            bars->pattern = p.kind;
            return bars;
        }
        auto ramp =
            std::make_unique<std::conditional_t<narrow, KtRampGenerator8, KtRampGenerator16>>();
        ramp->rampType = p.kind;
        ramp->direction = p.direction;
        return ramp;
    }

    static std::unique_ptr<Canvas<Pixel>> canvas(int width, int height, float originY) {
        auto target = std::make_unique<Canvas<Pixel>>(width, height, test::kHostOrder<Pixel>,
                                                      test::rgba<Pixel>(7, 7, 7, 7));
        target->texture.setOrigin(0.0f, originY);
        return target;
    }

    // Draws `target` in windows of the given size, a fresh generator for each.
    static void drawInWindows(Canvas<Pixel>& target, const Pattern& p, int windowWidth,
                              int windowHeight) {
        for (int y0 = 0; y0 < target.height; y0 += windowHeight) {
            for (int x0 = 0; x0 < target.width; x0 += windowWidth) {
                auto g = generator(p);
                g->setWindow(x0, y0, std::min(x0 + windowWidth, target.width) - 1,
                             std::min(y0 + windowHeight, target.height) - 1);
                g->process(&target.texture);
            }
        }
    }
};

using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(PatternRendering, PixelTypes);

TYPED_TEST(PatternRendering, ThreadsWindowsAndFieldsNeverChangeTheBytes) {
    // 97 rows with the y origin at 3.6: the strip and band changes fall on odd and even rows.
    const int width = 301, height = 97;
    const float originY = 3.6f;
    const TypeParam sentinel = test::rgba<TypeParam>(7, 7, 7, 7);
    for (const Pattern& p : everyPattern()) {
        setProcessorCountForTesting(1);
        auto reference = this->canvas(width, height, originY);
        this->generator(p)->process(&reference->texture);
        for (const int processors : {1, 2, 4, 8}) {
            setProcessorCountForTesting(processors);
            auto split = this->canvas(width, height, originY);
            this->generator(p)->process(&split->texture);
            EXPECT_TRUE(split->sameBytes(*reference)) << p << ", " << processors << " threads";

            for (const int mode : {1, 2}) {
                auto field = this->canvas(width, height, originY);
                auto g = this->generator(p);
                g->setFieldMode(mode);
                g->process(&field->texture);
                for (int y = 0; y < height; ++y) {
                    const bool drawn = (y % 2 == 0) == (mode == 1);
                    for (int x = 0; x < width; ++x) {
                        ASSERT_EQ(field->at(x, y), drawn ? reference->at(x, y) : sentinel)
                            << p << ", " << processors << " threads, field mode " << mode << ": "
                            << x << "," << y;
                    }
                }
            }
        }

        setProcessorCountForTesting(2);
        auto window = this->canvas(width, height, originY);
        auto g = this->generator(p);
        g->setWindow(15, 4, 44, 9);
        g->process(&window->texture);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool inside = x >= 15 && x <= 44 && y >= 4 && y <= 9;
                ASSERT_EQ(window->at(x, y), inside ? reference->at(x, y) : sentinel)
                    << p << ", one window: " << x << "," << y;
            }
        }
        auto tiled = this->canvas(width, height, originY);
        this->drawInWindows(*tiled, p, 70, 25);
        EXPECT_TRUE(tiled->sameBytes(*reference)) << p << ", drawn window by window";
    }
}

// Over 32 MiB the whole frame is streamed to memory; windows of 300 x 300 go through the cache.
TYPED_TEST(PatternRendering, AFrameStreamedPastTheCacheHasTheBytesOfOneDrawnInSmallWindows) {
    const int side = sizeof(TypeParam) == 4 ? 2900 : 2100;
    ASSERT_GE(static_cast<std::size_t>(side) * side * sizeof(TypeParam), kStreamingFrameBytes);
    for (const Pattern p : {Pattern{true, kSmpteBars}, Pattern{false, kRgbCrossedRamp},
                            Pattern{false, kRgbCrossedRamp, kRampVertical},
                            Pattern{false, kGreyRamp}, Pattern{false, kGreyRamp, kRampVertical}}) {
        auto streamed = this->canvas(side, side, 5.0f);
        this->generator(p)->process(&streamed->texture);
        auto windowed = this->canvas(side, side, 5.0f);
        this->drawInWindows(*windowed, p, 300, 300);
        EXPECT_TRUE(streamed->sameBytes(*windowed)) << p;
    }
}

TYPED_TEST(PatternRendering, AStopIsSeenBeforeTheNextRow) {
    setProcessorCountForTesting(1);
    const TypeParam sentinel = test::rgba<TypeParam>(7, 7, 7, 7);
    for (const Pattern& p : everyPattern()) {
        auto target = this->canvas(20, 10, 0.0f);
        std::atomic<int> calls{0};
        KtInterruptRecord record{&calls,
                                 [](void* data, void*) -> int {
                                     return static_cast<std::atomic<int>*>(data)->fetch_add(1) >= 2;
                                 },
                                 0};
        auto g = this->generator(p);
        g->interrupt = &record;
        g->process(&target->texture);
        EXPECT_EQ(record.aborted, 1) << p;
        // The pass poll and the first row's poll go on; the second row's poll stops. Rows are
        // walked in memory order: upward from row 9 in the bottom-up 16-bit canvas.
        const bool bottomUp = test::kHostOrder<TypeParam> == test::RowOrder::BottomUp;
        for (int x = 0; x < 20; ++x) {
            ASSERT_NE(target->at(x, bottomUp ? 9 : 0), sentinel) << p << ", column " << x;
            ASSERT_EQ(target->at(x, bottomUp ? 8 : 1), sentinel) << p << ", column " << x;
        }
    }
}

}  // namespace
}  // namespace pattix
