#include "plugin/image/col_bar_generator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::RowOrder;

// Expected values of the bar tables, per pixel type. The 16-bit canvases view
// their memory from the last row upward, as the host's 16-bit buffers are wrapped.
template <class Pixel>
struct Depth;

template <>
struct Depth<Rgba8> {
    using Generator = KtColBarGenerator8;
    static constexpr int full = 255;
    static constexpr int threeQuarters = 191;
    static constexpr std::array<int, 3> minusI{0, 18, 15};
    static constexpr std::array<int, 3> plusQ{17, 0, 67};
    static constexpr RowOrder order = RowOrder::TopDown;
};

template <>
struct Depth<Rgba16> {
    using Generator = KtColBarGenerator16;
    static constexpr int full = 16384;
    static constexpr int threeQuarters = 12288;
    static constexpr std::array<int, 3> minusI{0, 1163, 966};
    static constexpr std::array<int, 3> plusQ{1097, 0, 4308};
    static constexpr RowOrder order = RowOrder::BottomUp;
};

template <class Pixel>
Pixel rgb(int r, int g, int b, int a) {
    using C = typename Pixel::Component;
    return Pixel(static_cast<C>(r), static_cast<C>(g), static_cast<C>(b), static_cast<C>(a));
}

// Bar k of the main rows of a pattern, with alpha as the render sets it.
template <class Pixel>
Pixel mainBar(int pattern, int k) {
    using D = Depth<Pixel>;
    // white, yellow, cyan, green, magenta, red, blue, black
    static constexpr int kOn[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                      {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    const int bar = k < 7 ? k : 7;
    const int level = pattern == 2 || (pattern == 0 && bar == 0) ? D::full : D::threeQuarters;
    return rgb<Pixel>(kOn[bar][0] * level, kOn[bar][1] * level, kOn[bar][2] * level, D::full);
}

template <class Pixel>
Pixel reverseBar(int k) {
    const int q = Depth<Pixel>::threeQuarters;
    const int a = Depth<Pixel>::full;
    switch (k) {
        case 0:
            return rgb<Pixel>(0, 0, q, a);  // blue
        case 2:
            return rgb<Pixel>(q, 0, q, a);  // magenta
        case 4:
            return rgb<Pixel>(0, q, q, a);  // cyan
        case 6:
            return rgb<Pixel>(q, q, q, a);  // white
        default:
            return rgb<Pixel>(0, 0, 0, a);
    }
}

template <class Pixel>
Pixel subBandBar(int k) {
    using D = Depth<Pixel>;
    switch (k) {
        case 0:
            return rgb<Pixel>(D::minusI[0], D::minusI[1], D::minusI[2], D::full);
        case 1:
            return rgb<Pixel>(D::full, D::full, D::full, D::full);
        case 2:
            return rgb<Pixel>(D::plusQ[0], D::plusQ[1], D::plusQ[2], D::full);
        default:
            return rgb<Pixel>(0, 0, 0, D::full);
    }
}

template <class Pixel>
class ColBarGenerator : public ::testing::Test {
  protected:
    using D = Depth<Pixel>;
    using Generator = typename D::Generator;

    void TearDown() override { setProcessorCountForTesting(0); }

    static std::unique_ptr<Canvas<Pixel>> canvas(int width, int height, Pixel fill = Pixel{}) {
        return std::make_unique<Canvas<Pixel>>(width, height, D::order, fill);
    }

    // A generator configured as the render configures it.
    static std::unique_ptr<Generator> bars(int pattern) {
        auto generator = std::make_unique<Generator>();
        generator->pattern = pattern;
        generator->alphaValue = D::full;
        generator->barFlags = 0;
        return generator;
    }

    static void expectRow(Canvas<Pixel>& target, int y, const std::array<Pixel, 8>& byBar,
                          int barWidth, const std::string& what) {
        for (int x = 0; x < target.width; ++x) {
            const int k = x / barWidth;
            ASSERT_EQ(target.at(x, y), byBar[k < 7 ? k : 7])
                << what << ", row " << y << ", column " << x;
        }
    }
};

using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(ColBarGenerator, PixelTypes);

TYPED_TEST(ColBarGenerator, EveryBarHasItsColourAtItsCentreAndBothEdges) {
    struct Size {
        int width;
        int barWidth;
    };
    for (const Size size : {Size{720, 90}, Size{721, 90}, Size{1000, 125}, Size{4, 1}}) {
        for (int pattern = 0; pattern <= 4; ++pattern) {
            auto target = this->canvas(size.width, 10);
            this->bars(pattern)->process(&target->texture);
            const int mainRow = 9;  // r = 9 > 0.3298611 x 10: main bars in every pattern
            for (int k = 0; k * size.barWidth < size.width; ++k) {
                const int first = k * size.barWidth;
                const int last = std::min(first + size.barWidth, size.width) - 1;
                for (const int x : {first, (first + last) / 2, last}) {
                    ASSERT_EQ(target->at(x, mainRow), mainBar<TypeParam>(pattern, k))
                        << "W " << size.width << ", pattern " << pattern << ", bar " << k
                        << ", column " << x;
                }
            }
        }
    }
}

TYPED_TEST(ColBarGenerator, ColumnsPastTheEighthBarAreBlackWithAlpha) {
    auto target = this->canvas(721, 4);
    this->bars(2)->process(&target->texture);
    EXPECT_EQ(target->at(630, 0), mainBar<TypeParam>(2, 7));
    EXPECT_EQ(target->at(720, 3), rgb<TypeParam>(0, 0, 0, Depth<TypeParam>::full));
}

TYPED_TEST(ColBarGenerator, ANarrowFrameShowsOnlyTheFirstBarsOnePixelEach) {
    auto target = this->canvas(4, 2);
    this->bars(1)->process(&target->texture);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(target->at(x, 1), mainBar<TypeParam>(1, x)) << x;
}

struct StripCase {
    int pattern;
    int height;
    int lastSubBandRow;  // r
    int lastReverseRow;  // r; equal to lastSubBandRow when there is no reverse strip
};

TYPED_TEST(ColBarGenerator, StripsBeginAndEndOnTheRowsTheThresholdsGive) {
    // H = 576: 0.25 H = 144, 0.3298611 H = 189.9999962 (190 if multiplied in single precision).
    // H = 486: 0.25 H = 121.5, 0.3298611 H = 160.31.
    for (const StripCase c : {StripCase{4, 576, 144, 189}, StripCase{3, 576, 144, 144},
                              StripCase{4, 486, 121, 160}, StripCase{3, 486, 121, 121}}) {
        auto target = this->canvas(720, c.height);
        this->bars(c.pattern)->process(&target->texture);
        std::array<TypeParam, 8> subBand, reverse, main;
        for (int k = 0; k < 8; ++k) {
            subBand[k] = subBandBar<TypeParam>(k);
            reverse[k] = reverseBar<TypeParam>(k);
            main[k] = mainBar<TypeParam>(c.pattern, k);
        }
        const std::string what =
            "pattern " + std::to_string(c.pattern) + ", H " + std::to_string(c.height);
        this->expectRow(*target, 0, subBand, 90, what);
        this->expectRow(*target, c.lastSubBandRow, subBand, 90, what);
        if (c.lastReverseRow > c.lastSubBandRow) {
            this->expectRow(*target, c.lastSubBandRow + 1, reverse, 90, what);
            this->expectRow(*target, c.lastReverseRow, reverse, 90, what);
        }
        this->expectRow(*target, c.lastReverseRow + 1, main, 90, what);
        this->expectRow(*target, c.height - 1, main, 90, what);
    }
}

TYPED_TEST(ColBarGenerator, YOriginIsTruncatedTowardZero) {
    struct Case {
        float origin;
        int rowOfR0;
    };
    for (const Case c : {Case{10.7f, 10}, Case{-0.5f, 0}, Case{-1.5f, -1}}) {
        auto target = this->canvas(8, 40);
        target->texture.setOrigin(0.0f, c.origin);
        this->bars(4)->process(&target->texture);
        for (int y = 0; y < 40; ++y) {
            const int r = y - c.rowOfR0;
            TypeParam expected = rgb<TypeParam>(0, 0, 0, 0);  // outside the frame
            if (r >= 0 && r < 40) {
                expected = r <= 10   ? subBandBar<TypeParam>(1)
                           : r <= 13 ? reverseBar<TypeParam>(1)
                                     : mainBar<TypeParam>(4, 1);
            }
            ASSERT_EQ(target->at(1, y), expected) << "origin " << c.origin << ", row " << y;
        }
    }
}

TYPED_TEST(ColBarGenerator, CountingFromTheTopMovesTheSubBandsToTheOtherEnd) {
    auto target = this->canvas(8, 40);
    target->texture.setOrigin(0, 3);
    auto generator = this->bars(4);
    generator->barFlags = kBarsCountFromTop;
    generator->process(&target->texture);
    // r = (H - 1 + oy) - y = 42 - y: rows 0-2 are past the frame, row 42 - 10 = 32 the last
    // sub-band row.
    EXPECT_EQ(target->at(0, 0), rgb<TypeParam>(0, 0, 0, 0));
    EXPECT_EQ(target->at(0, 2), rgb<TypeParam>(0, 0, 0, 0));
    EXPECT_EQ(target->at(0, 3), mainBar<TypeParam>(4, 0));
    EXPECT_EQ(target->at(0, 31), reverseBar<TypeParam>(0));
    EXPECT_EQ(target->at(0, 32), subBandBar<TypeParam>(0));
    EXPECT_EQ(target->at(0, 39), subBandBar<TypeParam>(0));
}

TYPED_TEST(ColBarGenerator, IgnoringTheOriginCountsFromTextureRowZero) {
    auto target = this->canvas(8, 40);
    target->texture.setOrigin(0.0f, 10.7f);
    auto generator = this->bars(3);
    generator->barFlags = kBarsIgnoreOrigin;
    generator->process(&target->texture);
    EXPECT_EQ(target->at(2, 0), subBandBar<TypeParam>(2));
    EXPECT_EQ(target->at(2, 10), subBandBar<TypeParam>(2));
    EXPECT_EQ(target->at(2, 11), mainBar<TypeParam>(3, 2));
}

TYPED_TEST(ColBarGenerator, OwnFrameSizeClearsWhatLiesOutsideIt) {
    auto target = this->canvas(40, 30);
    auto generator = this->bars(2);
    generator->barFlags = kBarsOwnFrameSize;
    generator->frameWidth = 16;  // bars of 2 columns
    generator->frameHeight = 20;
    generator->process(&target->texture);
    EXPECT_EQ(target->at(3, 0), mainBar<TypeParam>(2, 1));
    EXPECT_EQ(target->at(15, 19), mainBar<TypeParam>(2, 7));
    EXPECT_EQ(target->at(16, 19), rgb<TypeParam>(0, 0, 0, 0));
    EXPECT_EQ(target->at(39, 0), rgb<TypeParam>(0, 0, 0, 0));
    EXPECT_EQ(target->at(0, 20), rgb<TypeParam>(0, 0, 0, 0));
}

TYPED_TEST(ColBarGenerator, ColumnsLeftOfTheFrameAndRowsAboveItAreAllZero) {
    const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
    auto target = this->canvas(24, 12, sentinel);
    target->texture.xAxis.start = -4;  // texture columns -4 to 19; the frame is 0 to 23
    target->texture.setOrigin(0, -3);  // r = y + 3: rows 9-11 are past the frame's top
    auto generator = this->bars(0);
    generator->setWindow(-4, 0, 19, 11);  // the whole texture, in its own coordinates
    generator->process(&target->texture);
    const TypeParam zero = rgb<TypeParam>(0, 0, 0, 0);
    auto stored = [&](int x, int y) { return *target->texture.pixelAt(x, y); };
    for (int y = 0; y < 12; ++y) {
        for (int x = -4; x < 20; ++x) {
            const TypeParam expected = (x < 0 || y >= 9) ? zero : mainBar<TypeParam>(0, x / 3);
            ASSERT_EQ(stored(x, y), expected) << x << "," << y;
        }
    }
}

TYPED_TEST(ColBarGenerator, AWindowDrawsOnlyItsOwnPixels) {
    const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
    auto target = this->canvas(80, 20, sentinel);
    auto generator = this->bars(1);
    generator->setWindow(15, 4, 44, 9);
    generator->process(&target->texture);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 80; ++x) {
            const bool inside = x >= 15 && x <= 44 && y >= 4 && y <= 9;
            ASSERT_EQ(target->at(x, y), inside ? mainBar<TypeParam>(1, x / 10) : sentinel)
                << x << "," << y;
        }
    }
}

TYPED_TEST(ColBarGenerator, AnUnknownPatternLeavesTheFrameAndClearsOutsideIt) {
    const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
    for (const int pattern : {-1, 5, 9}) {
        auto target = this->canvas(20, 10, sentinel);
        auto generator = this->bars(pattern);
        generator->barFlags = kBarsOwnFrameSize;
        generator->frameWidth = 12;
        generator->frameHeight = 8;
        generator->process(&target->texture);
        EXPECT_EQ(target->at(5, 5), sentinel) << pattern;
        EXPECT_EQ(target->at(11, 7), sentinel) << pattern;
        EXPECT_EQ(target->at(12, 0), rgb<TypeParam>(0, 0, 0, 0)) << pattern;
        EXPECT_EQ(target->at(0, 8), rgb<TypeParam>(0, 0, 0, 0)) << pattern;
    }
}

TYPED_TEST(ColBarGenerator, AlphaKeepsTheLowBitsOfAlphaValue) {
    auto target = this->canvas(8, 2);
    auto generator = this->bars(2);
    generator->alphaValue = 0x12345;
    generator->process(&target->texture);
    const int low = sizeof(typename TypeParam::Component) == 1 ? 0x45 : 0x2345;
    const int full = Depth<TypeParam>::full;
    EXPECT_EQ(target->at(0, 0), rgb<TypeParam>(full, full, full, low));
    EXPECT_EQ(target->at(7, 1), rgb<TypeParam>(0, 0, 0, low));  // black bars carry it too
}

TYPED_TEST(ColBarGenerator, FieldModesWriteOnlyTheirRows) {
    const TypeParam sentinel = rgb<TypeParam>(7, 7, 7, 7);
    auto whole = this->canvas(64, 21);
    this->bars(4)->process(&whole->texture);
    for (const int mode : {1, 2}) {
        setProcessorCountForTesting(2);
        auto field = this->canvas(64, 21, sentinel);
        auto generator = this->bars(4);
        generator->setFieldMode(mode);
        generator->process(&field->texture);
        for (int y = 0; y < 21; ++y) {
            const bool drawn = (y % 2 == 0) == (mode == 1);
            for (int x = 0; x < 64; ++x) {
                ASSERT_EQ(field->at(x, y), drawn ? whole->at(x, y) : sentinel)
                    << mode << ": " << x << "," << y;
            }
        }
    }
}

TYPED_TEST(ColBarGenerator, ThreadsAndWindowsNeverChangeTheBytes) {
    for (int pattern = 0; pattern <= 4; ++pattern) {
        setProcessorCountForTesting(1);
        auto reference = this->canvas(721, 97);
        reference->texture.setOrigin(0.0f, 3.6f);
        this->bars(pattern)->process(&reference->texture);

        for (const int processors : {2, 4}) {
            setProcessorCountForTesting(processors);
            auto split = this->canvas(721, 97);
            split->texture.setOrigin(0.0f, 3.6f);
            this->bars(pattern)->process(&split->texture);
            EXPECT_TRUE(split->sameBytes(*reference))
                << "pattern " << pattern << ", " << processors << " threads";
        }

        setProcessorCountForTesting(2);
        auto tiled = this->canvas(721, 97, rgb<TypeParam>(7, 7, 7, 7));
        tiled->texture.setOrigin(0.0f, 3.6f);
        for (int y0 = 0; y0 < 97; y0 += 25) {
            for (int x0 = 0; x0 < 721; x0 += 100) {
                auto generator = this->bars(pattern);
                generator->setWindow(x0, y0, std::min(x0 + 99, 720), std::min(y0 + 24, 96));
                generator->process(&tiled->texture);
            }
        }
        EXPECT_TRUE(tiled->sameBytes(*reference))
            << "pattern " << pattern << " drawn window by window";
    }
}

TYPED_TEST(ColBarGenerator, AFrameStreamedPastTheCacheHasTheSameBytesAsOneDrawnInSmallWindows) {
    // Over 32 MiB: the whole frame is streamed; windows of 300 x 300 go through the cache.
    const int side = sizeof(TypeParam) == 4 ? 2900 : 2100;
    ASSERT_GE(static_cast<std::size_t>(side) * side * sizeof(TypeParam), kStreamingFrameBytes);
    auto streamed = this->canvas(side, side);
    streamed->texture.setOrigin(0.0f, 5.0f);
    this->bars(4)->process(&streamed->texture);
    auto windowed = this->canvas(side, side, rgb<TypeParam>(7, 7, 7, 7));
    windowed->texture.setOrigin(0.0f, 5.0f);
    for (int y0 = 0; y0 < side; y0 += 300) {
        for (int x0 = 0; x0 < side; x0 += 300) {
            auto generator = this->bars(4);
            generator->setWindow(x0, y0, std::min(x0 + 299, side - 1),
                                 std::min(y0 + 299, side - 1));
            generator->process(&windowed->texture);
        }
    }
    EXPECT_TRUE(streamed->sameBytes(*windowed));
}

}  // namespace
}  // namespace pattix
