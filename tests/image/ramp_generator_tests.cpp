#include "plugin/image/ramp_generator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::RowOrder;

template <class Pixel>
struct Depth;

template <>
struct Depth<Rgba8> {
    using Generator = KtRampGenerator8;
    static constexpr int full = 255;
    static constexpr RowOrder order = RowOrder::TopDown;
};

template <>
struct Depth<Rgba16> {
    using Generator = KtRampGenerator16;
    static constexpr int full = 16384;
    static constexpr RowOrder order = RowOrder::BottomUp;
};

template <class Pixel>
Pixel rgb(int r, int g, int b, int a) {
    using C = typename Pixel::Component;
    return Pixel(static_cast<C>(r), static_cast<C>(g), static_cast<C>(b), static_cast<C>(a));
}

struct RampSetup {
    int type = kRgbRamp;
    int direction = kRampHorizontal;
    int rampFlags = 0;
    int originFlags = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int alpha = -1;  // -1: full scale, as the render sets it
};

// The ramp's pixel rule evaluated for one pixel, with nothing shared with the generator's
// run traversal.
template <class Pixel>
Pixel rulePixel(const RampSetup& setup, int textureWidth, int textureHeight, float originY, int x,
                int y) {
    const int full = Depth<Pixel>::full;
    const int alpha = setup.alpha < 0 ? full : setup.alpha;
    const bool own = (setup.rampFlags & kRampOwnFrameSize) != 0;
    const int width = own ? setup.frameWidth : textureWidth;
    const int height = own ? setup.frameHeight : textureHeight;
    const int oy = (setup.originFlags & kRampIgnoreOrigin) ? 0 : static_cast<int>(originY);
    int r = y - oy;
    const bool reverse = (setup.rampFlags & kRampReverse) != 0;
    const bool horizontal = setup.direction == kRampHorizontal;
    if (!horizontal && reverse)
        r = height - r - 1;
    const int t = horizontal ? x : r;
    const int rampLength = horizontal ? width : height;
    const int s = horizontal ? r : x;
    const int bandLength = horizontal ? height : width;
    const Pixel black = rgb<Pixel>(0, 0, 0, alpha);
    if (s < 0 || s >= bandLength || t < 0 || t >= rampLength)
        return black;

    const float S = static_cast<float>(bandLength);
    bool on[3] = {false, false, false};
    bool backwards = false;
    switch (setup.type) {
        case kRgbRamp: {
            int b = static_cast<int>(static_cast<float>(s) / std::max(S / 3.0f, 1.0f));
            if (horizontal && reverse)
                b = 2 - b;
            if (b >= 0 && b < 3)
                on[b] = true;
            break;
        }
        case kGreyRamp:
            on[0] = on[1] = on[2] = true;
            break;
        case kRgbCrossedRamp: {
            int b = static_cast<int>(static_cast<double>(s) / static_cast<double>(S / 3.0f));
            if (horizontal && reverse)
                b = 2 - b;
            const int u = static_cast<int>(static_cast<float>(s) / std::max(S / 6.0f, 1.0f));
            if (b >= 0 && b < 3)
                on[b] = true;
            backwards = u % 2 == 1;
            break;
        }
        case kGreyCrossedRamp: {
            const int u = static_cast<int>(static_cast<float>(s) / std::max(S / 2.0f, 1.0f));
            on[0] = on[1] = on[2] = true;
            backwards = u % 2 == 1;
            break;
        }
        default:
            return black;
    }
    const int position = backwards ? rampLength - t - 1 : t;
    const double level = std::clamp(static_cast<double>(full) * position / rampLength + 0.5, 0.0,
                                    static_cast<double>(full));
    const int value = static_cast<int>(level);
    return rgb<Pixel>(on[0] ? value : 0, on[1] ? value : 0, on[2] ? value : 0, alpha);
}

template <class Pixel>
class RampGenerator : public ::testing::Test {
  protected:
    using D = Depth<Pixel>;
    using Generator = typename D::Generator;

    void TearDown() override { setProcessorCountForTesting(0); }

    static std::unique_ptr<Canvas<Pixel>> canvas(int width, int height, Pixel fill = Pixel{}) {
        return std::make_unique<Canvas<Pixel>>(width, height, D::order, fill);
    }

    static std::unique_ptr<Generator> ramp(const RampSetup& setup) {
        auto generator = std::make_unique<Generator>();
        generator->rampType = setup.type;
        generator->direction = setup.direction;
        generator->alphaValue = setup.alpha < 0 ? D::full : setup.alpha;
        generator->rampFlags = static_cast<std::uint8_t>(setup.rampFlags);
        generator->originFlags = static_cast<std::uint8_t>(setup.originFlags);
        generator->frameWidth = setup.frameWidth;
        generator->frameHeight = setup.frameHeight;
        return generator;
    }

    static std::unique_ptr<Canvas<Pixel>> render(const RampSetup& setup, int width, int height,
                                                 float originY = 0.0f) {
        auto target = canvas(width, height);
        target->texture.setOrigin(0.0f, originY);
        ramp(setup)->process(&target->texture);
        return target;
    }

    // Every pixel of the canvas against the pixel rule.
    static void expectRule(Canvas<Pixel>& target, const RampSetup& setup, float originY,
                           const std::string& what) {
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                ASSERT_EQ(target.at(x, y),
                          rulePixel<Pixel>(setup, target.width, target.height, originY, x, y))
                    << what << ": column " << x << ", row " << y;
            }
        }
    }
};

using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(RampGenerator, PixelTypes);

// ---- values stated for the ramps ----------------------------------------------------------

TEST(RampValues, EightBitHorizontalGreyRampOverSevenHundredTwentyColumns) {
    Canvas<Rgba8> target(720, 6);
    KtRampGenerator8 generator;
    generator.rampType = kGreyRamp;
    generator.alphaValue = 255;
    generator.process(&target.texture);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(target.at(0, y), Rgba8(0, 0, 0, 255));
        EXPECT_EQ(target.at(1, y), Rgba8(0, 0, 0, 255));  // trunc(0.354 + 0.5)
        EXPECT_EQ(target.at(2, y), Rgba8(1, 1, 1, 255));
        EXPECT_EQ(target.at(719, y), Rgba8(255, 255, 255, 255));
    }
}

TEST(RampValues, EightBitGreyRampOfLength256EndsAt254) {
    Canvas<Rgba8> target(256, 1);
    KtRampGenerator8 generator;
    generator.rampType = kGreyRamp;
    generator.process(&target.texture);
    EXPECT_EQ(target.at(255, 0).r, 254);
}

TEST(RampValues, SixteenBitGreyRampEndsAtTruncOf16384Point5MinusFullOverL) {
    Canvas<Rgba16> target(720, 2, RowOrder::BottomUp);
    KtRampGenerator16 generator;
    generator.rampType = kGreyRamp;
    generator.alphaValue = 16384;
    generator.process(&target.texture);
    EXPECT_EQ(target.at(719, 0), Rgba16(16361, 16361, 16361, 16384));
    EXPECT_EQ(target.at(719, 1), Rgba16(16361, 16361, 16361, 16384));
    EXPECT_EQ(target.at(0, 1), Rgba16(0, 0, 0, 16384));
}

TYPED_TEST(RampGenerator, HorizontalRgbRampStacksRedGreenBlueBands) {
    const int full = Depth<TypeParam>::full;
    auto target = this->render({kRgbRamp, kRampHorizontal}, 720, 576);
    const int last = static_cast<int>(static_cast<double>(full) * 719 / 720 + 0.5);
    struct Band {
        int firstRow, lastRow, channel;
    };
    for (const Band band : {Band{0, 191, 0}, Band{192, 383, 1}, Band{384, 575, 2}}) {
        for (const int y : {band.firstRow, band.lastRow}) {
            int end[3] = {0, 0, 0};
            end[band.channel] = last;
            EXPECT_EQ(target->at(0, y), rgb<TypeParam>(0, 0, 0, full)) << y;
            EXPECT_EQ(target->at(719, y), rgb<TypeParam>(end[0], end[1], end[2], full)) << y;
        }
    }
}

TYPED_TEST(RampGenerator, VerticalRgbRampPutsTheBandsSideBySide) {
    const int full = Depth<TypeParam>::full;
    auto target = this->render({kRgbRamp, kRampVertical}, 720, 300);
    const int last = static_cast<int>(static_cast<double>(full) * 299 / 300 + 0.5);
    struct Band {
        int firstColumn, lastColumn, channel;
    };
    for (const Band band : {Band{0, 239, 0}, Band{240, 479, 1}, Band{480, 719, 2}}) {
        for (const int x : {band.firstColumn, band.lastColumn}) {
            int end[3] = {0, 0, 0};
            end[band.channel] = last;
            EXPECT_EQ(target->at(x, 0), rgb<TypeParam>(0, 0, 0, full)) << x;
            EXPECT_EQ(target->at(x, 299), rgb<TypeParam>(end[0], end[1], end[2], full)) << x;
        }
    }
}

TYPED_TEST(RampGenerator, CrossedRgbRampRunsTheSecondHalfOfEachBandBackwards) {
    const int full = Depth<TypeParam>::full;
    auto target = this->render({kRgbCrossedRamp, kRampHorizontal}, 720, 576);
    const int last = static_cast<int>(static_cast<double>(full) * 719 / 720 + 0.5);
    EXPECT_EQ(target->at(0, 95), rgb<TypeParam>(0, 0, 0, full));  // red forward
    EXPECT_EQ(target->at(719, 95), rgb<TypeParam>(last, 0, 0, full));
    EXPECT_EQ(target->at(0, 96),
              rgb<TypeParam>(last, 0, 0, full));  // red backward: column 0 brightest
    EXPECT_EQ(target->at(719, 191), rgb<TypeParam>(0, 0, 0, full));
    EXPECT_EQ(target->at(0, 192), rgb<TypeParam>(0, 0, 0, full));  // green forward
    EXPECT_EQ(target->at(719, 287), rgb<TypeParam>(0, last, 0, full));
    EXPECT_EQ(target->at(0, 288), rgb<TypeParam>(0, last, 0, full));
    EXPECT_EQ(target->at(0, 575), rgb<TypeParam>(0, 0, last, full));  // blue backward
}

TYPED_TEST(RampGenerator, CrossedGreyRampHasTwoHalvesTheSecondReversed) {
    const int full = Depth<TypeParam>::full;
    for (const int direction : {kRampHorizontal, kRampVertical}) {
        // Horizontal: bands along the 576 rows; vertical: along the 576 columns.
        const int width = direction == kRampHorizontal ? 100 : 576;
        const int height = direction == kRampHorizontal ? 576 : 100;
        auto target = this->render({kGreyCrossedRamp, direction}, width, height);
        const int last = static_cast<int>(static_cast<double>(full) * 99 / 100 + 0.5);
        auto at = [&](int s, int t) {
            return direction == kRampHorizontal ? target->at(t, s) : target->at(s, t);
        };
        EXPECT_EQ(at(287, 0), rgb<TypeParam>(0, 0, 0, full)) << direction;
        EXPECT_EQ(at(287, 99), rgb<TypeParam>(last, last, last, full)) << direction;
        EXPECT_EQ(at(288, 0), rgb<TypeParam>(last, last, last, full)) << direction;
        EXPECT_EQ(at(575, 99), rgb<TypeParam>(0, 0, 0, full)) << direction;
    }
}

TYPED_TEST(RampGenerator, AFrameTwoRowsHighMakesEachRowItsOwnBand) {
    const int full = Depth<TypeParam>::full;
    auto target = this->render({kRgbRamp, kRampHorizontal}, 10, 2);
    const int last = static_cast<int>(static_cast<double>(full) * 9 / 10 + 0.5);
    EXPECT_EQ(target->at(9, 0), rgb<TypeParam>(last, 0, 0, full));
    EXPECT_EQ(target->at(9, 1), rgb<TypeParam>(0, last, 0, full));
}

TYPED_TEST(RampGenerator, PixelsOutsideTheFrameAreBlackWithAlpha) {
    RampSetup setup{kGreyRamp, kRampHorizontal};
    setup.rampFlags = kRampOwnFrameSize;
    setup.frameWidth = 30;
    setup.frameHeight = 20;
    setup.alpha = 77;
    auto target = this->render(setup, 40, 30, 4.0f);  // rows 0-3 below the frame, 24-29 above it
    EXPECT_EQ(target->at(35, 10), rgb<TypeParam>(0, 0, 0, 77));
    EXPECT_EQ(target->at(10, 2), rgb<TypeParam>(0, 0, 0, 77));
    EXPECT_EQ(target->at(10, 24), rgb<TypeParam>(0, 0, 0, 77));
    EXPECT_NE(target->at(10, 10), rgb<TypeParam>(0, 0, 0, 77));
}

TYPED_TEST(RampGenerator, OtherRampTypesDrawBlack) {
    for (const int type : {-1, 4, 9}) {
        auto target = this->render({type, kRampHorizontal, 0, 0, 0, 0, 9}, 16, 6);
        for (const TypeParam& pixel : target->memory)
            ASSERT_EQ(pixel, rgb<TypeParam>(0, 0, 0, 9)) << type;
        auto vertical = this->render({type, kRampVertical, 0, 0, 0, 0, 9}, 16, 6);
        for (const TypeParam& pixel : vertical->memory)
            ASSERT_EQ(pixel, rgb<TypeParam>(0, 0, 0, 9)) << type;
    }
}

TYPED_TEST(RampGenerator, ReverseFlipsTheBandOrderHorizontallyAndTheRowsVertically) {
    const int full = Depth<TypeParam>::full;
    auto horizontal = this->render({kRgbRamp, kRampHorizontal, kRampReverse}, 10, 9);
    const int lastAcross = static_cast<int>(static_cast<double>(full) * 9 / 10 + 0.5);
    EXPECT_EQ(horizontal->at(9, 0), rgb<TypeParam>(0, 0, lastAcross, full));  // blue band first
    EXPECT_EQ(horizontal->at(9, 8), rgb<TypeParam>(lastAcross, 0, 0, full));
    EXPECT_EQ(horizontal->at(0, 8), rgb<TypeParam>(0, 0, 0, full));  // still ramping from column 0

    auto vertical = this->render({kRgbRamp, kRampVertical, kRampReverse}, 9, 10);
    const int lastDown = static_cast<int>(static_cast<double>(full) * 9 / 10 + 0.5);
    EXPECT_EQ(vertical->at(0, 0), rgb<TypeParam>(lastDown, 0, 0, full));  // row 0 is t = H - 1
    EXPECT_EQ(vertical->at(0, 9), rgb<TypeParam>(0, 0, 0, full));
    EXPECT_EQ(vertical->at(8, 0), rgb<TypeParam>(0, 0, lastDown, full));  // band order kept
}

// ---- every pixel against the rule ---------------------------------------------------------

TYPED_TEST(RampGenerator, EveryPixelFollowsThePixelRule) {
    struct Frame {
        int width, height;
        float originY;
    };
    const Frame frames[] = {
        {720, 576, 0.0f}, {97, 61, 0.0f}, {31, 7, 2.9f}, {5, 2, -0.5f}, {64, 1000, -3.2f}};
    for (const Frame& frame : frames) {
        for (int type = 0; type <= 3; ++type) {
            for (const int direction : {kRampHorizontal, kRampVertical}) {
                for (const int flags : {0, int{kRampReverse}}) {
                    RampSetup setup{type, direction, flags};
                    auto target = this->render(setup, frame.width, frame.height, frame.originY);
                    const std::string what =
                        "type " + std::to_string(type) + ", direction " +
                        std::to_string(direction) + ", flags " + std::to_string(flags) + ", " +
                        std::to_string(frame.width) + "x" + std::to_string(frame.height);
                    this->expectRule(*target, setup, frame.originY, what);
                }
            }
        }
    }
}

TYPED_TEST(RampGenerator, OwnFrameSizeAndIgnoredOriginFollowThePixelRule) {
    for (int type = 0; type <= 3; ++type) {
        for (const int direction : {kRampHorizontal, kRampVertical}) {
            RampSetup setup{type, direction, kRampOwnFrameSize | kRampReverse, kRampIgnoreOrigin,
                            37,   23};
            auto target = this->render(setup, 50, 40, 6.5f);
            this->expectRule(*target, setup, 6.5f, "own frame, type " + std::to_string(type));
            setup.originFlags = 0;
            auto shifted = this->render(setup, 50, 40, 6.5f);
            this->expectRule(*shifted, setup, 6.5f,
                             "own frame shifted, type " + std::to_string(type));
        }
    }
}

// ---- fields, threads, windows -------------------------------------------------------------

TYPED_TEST(RampGenerator, FieldModesWriteOnlyTheirRowsEachWithItsOwnBand) {
    const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
    for (const int processors : {1, 2, 4}) {
        for (int type = 0; type <= 3; ++type) {
            for (const int direction : {kRampHorizontal, kRampVertical}) {
                for (const int mode : {1, 2}) {
                    setProcessorCountForTesting(processors);
                    // Nine rows: the RGB bands change on rows 3 and 6, one odd and one even.
                    auto target = this->canvas(40, 9, sentinel);
                    const RampSetup setup{type, direction};
                    auto generator = this->ramp(setup);
                    generator->setFieldMode(mode);
                    generator->process(&target->texture);
                    for (int y = 0; y < 9; ++y) {
                        const bool drawn = (y % 2 == 0) == (mode == 1);
                        for (int x = 0; x < 40; ++x) {
                            const TypeParam expected =
                                drawn ? rulePixel<TypeParam>(setup, 40, 9, 0.0f, x, y) : sentinel;
                            ASSERT_EQ(target->at(x, y), expected)
                                << processors << " threads, type " << type << ", direction "
                                << direction << ", mode " << mode << ": " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

TYPED_TEST(RampGenerator, ThreadsAndWindowsNeverChangeTheBytes) {
    for (int type = 0; type <= 3; ++type) {
        for (const int direction : {kRampHorizontal, kRampVertical}) {
            const RampSetup setup{type, direction};
            setProcessorCountForTesting(1);
            auto reference = this->render(setup, 301, 203, 1.5f);
            for (const int processors : {2, 4}) {
                setProcessorCountForTesting(processors);
                auto split = this->render(setup, 301, 203, 1.5f);
                EXPECT_TRUE(split->sameBytes(*reference))
                    << "type " << type << ", direction " << direction << ", " << processors
                    << " threads";
            }
            setProcessorCountForTesting(2);
            auto tiled = this->canvas(301, 203, rgb<TypeParam>(7, 7, 7, 7));
            tiled->texture.setOrigin(0.0f, 1.5f);
            for (int y0 = 0; y0 < 203; y0 += 50) {
                for (int x0 = 0; x0 < 301; x0 += 70) {
                    auto generator = this->ramp(setup);
                    generator->setWindow(x0, y0, std::min(x0 + 69, 300), std::min(y0 + 49, 202));
                    generator->process(&tiled->texture);
                }
            }
            EXPECT_TRUE(tiled->sameBytes(*reference))
                << "type " << type << ", direction " << direction << " drawn window by window";
        }
    }
}

TYPED_TEST(RampGenerator, AStopIsSeenBeforeTheNextRowInBothDirections) {
    struct Counter {
        std::atomic<int> calls{0};
    };
    auto stopOnThirdCall = [](void* data, void*) -> int {
        return static_cast<Counter*>(data)->calls.fetch_add(1) >= 2 ? 1 : 0;
    };
    for (const int direction : {kRampHorizontal, kRampVertical}) {
        setProcessorCountForTesting(1);
        const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
        auto target = this->canvas(20, 10, sentinel);
        Counter counter;
        KtInterruptRecord record{&counter, stopOnThirdCall, 0};
        auto generator = this->ramp({kGreyRamp, direction});
        generator->interrupt = &record;
        generator->process(&target->texture);
        // The pass poll and the first row's poll go on; the second row's poll stops. Rows are
        // walked in memory order: upward from row 9 in the bottom-up 16-bit canvas.
        const bool bottomUp = Depth<TypeParam>::order == RowOrder::BottomUp;
        EXPECT_NE(target->at(19, bottomUp ? 9 : 0), sentinel) << direction;
        EXPECT_EQ(target->at(19, bottomUp ? 8 : 1), sentinel) << direction;
        EXPECT_EQ(record.aborted, 1);
    }
}

TYPED_TEST(RampGenerator, AFrameStreamedPastTheCacheHasTheSameBytesAsOneDrawnInSmallWindows) {
    const int side = sizeof(TypeParam) == 4 ? 2900 : 2100;
    for (const int type : {kRgbCrossedRamp, kGreyRamp}) {
        for (const int direction : {kRampHorizontal, kRampVertical}) {
            const RampSetup setup{type, direction};
            auto streamed = this->render(setup, side, side);
            auto windowed = this->canvas(side, side, rgb<TypeParam>(7, 7, 7, 7));
            for (int y0 = 0; y0 < side; y0 += 300) {
                for (int x0 = 0; x0 < side; x0 += 300) {
                    auto generator = this->ramp(setup);
                    generator->setWindow(x0, y0, std::min(x0 + 299, side - 1),
                                         std::min(y0 + 299, side - 1));
                    generator->process(&windowed->texture);
                }
            }
            EXPECT_TRUE(streamed->sameBytes(*windowed))
                << "type " << type << ", direction " << direction;
        }
    }
}

}  // namespace
}  // namespace pattix
