#include "plugin/image/col_bar_generator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::rgba;

template <class Pixel>
using BarGenerator =
    std::conditional_t<std::is_same_v<Pixel, Rgba8>, KtColBarGenerator8, KtColBarGenerator16>;

struct Bars {
    int pattern = kEbuBars;
    int flags = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int alpha = -1;  // -1: full scale, as the render sets it
};

enum Strip { kMain, kReverse, kSubBand };

// Bar k of a strip, written out from the broadcast definitions rather than the generator's
// tables. The main bars: white, yellow, cyan, green, magenta, red, blue, black, at 75% except
// in 100% bars and the EBU white; the SMPTE reverse strip at 75%: blue, black, magenta, black,
// cyan, black, white, black; the sub-band: -I, 100% white, +Q, then black.
template <class Pixel>
Pixel barColour(int pattern, Strip strip, int k, int alpha) {
    static constexpr int kOn[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                      {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    const int full = Pixel::unitValue;
    const bool narrow = sizeof(Pixel) == sizeof(Rgba8);
    k = std::min(k, 7);
    if (strip == kSubBand) {
        if (k == 0)
            return narrow ? rgba<Pixel>(0, 18, 15, alpha) : rgba<Pixel>(0, 1163, 966, alpha);
        if (k == 2)
            return narrow ? rgba<Pixel>(17, 0, 67, alpha) : rgba<Pixel>(1097, 0, 4308, alpha);
        return k == 1 ? rgba<Pixel>(full, full, full, alpha) : rgba<Pixel>(0, 0, 0, alpha);
    }
    const int bar = strip == kMain ? k : (k % 2 == 1 ? 7 : 6 - k);
    const bool fullBar = strip == kMain && (pattern == kBars100 || (pattern == kEbuBars && k == 0));
    const int level = fullBar ? full : full * 3 / 4;
    return rgba<Pixel>(kOn[bar][0] * level, kOn[bar][1] * level, kOn[bar][2] * level, alpha);
}

// The bars' pixel rule for texture pixel (x, y), nothing shared with the generator's runs.
template <class Pixel>
Pixel rulePixel(const Bars& bars, int textureWidth, int textureHeight, float originY, int x, int y,
                Pixel before) {
    const bool own = (bars.flags & kBarsOwnFrameSize) != 0;
    const int width = own ? bars.frameWidth : textureWidth;
    const int height = own ? bars.frameHeight : textureHeight;
    // The y origin is truncated toward zero.
    const int oy = (bars.flags & kBarsIgnoreOrigin) ? 0 : static_cast<int>(originY);
    const int r = (bars.flags & kBarsCountFromTop) ? height - 1 + oy - y : y - oy;
    if (x < 0 || x >= width || r < 0 || r >= height)
        return Pixel{};  // outside the frame: all zero, alpha too
    if (bars.pattern < kEbuBars || bars.pattern > kSmpteBars)
        return before;  // an unknown pattern leaves the frame alone
    Strip strip = kMain;
    if (bars.pattern >= kEiaBars && 4 * r <= height)
        strip = kSubBand;
    else if (bars.pattern == kSmpteBars && r <= 0.3298611 * height)
        strip = kReverse;
    const int alpha = bars.alpha < 0 ? Pixel::unitValue : bars.alpha;
    return barColour<Pixel>(bars.pattern, strip, x / std::max(width / 8, 1), alpha);
}

template <class Pixel>
class ColBarGenerator : public ::testing::Test {};
using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(ColBarGenerator, PixelTypes);

struct Frame {
    int width, height;
    float originY;
    Bars bars;
    int xStart = 0;  // texture column of the first stored pixel
};

// Every pixel of every pattern, the unknown ones included, against the rule: bar edges for
// W = 720, 721, 1000 and 4, the strips for H = 576 and 486, y origins truncated toward zero,
// counting from the top, and frames that the texture reaches past on every side.
TYPED_TEST(ColBarGenerator, EveryPixelFollowsThePixelRule) {
    const Frame frames[] = {
        {720, 576, 0.0f, {}},
        {721, 486, 0.0f, {}},
        {1000, 40, 10.7f, {}},
        {4, 10, -0.5f, {}},
        {8, 40, -1.5f, {}},
        {8, 40, 3.0f, {.flags = kBarsCountFromTop}},
        {8, 40, 10.7f, {.flags = kBarsIgnoreOrigin}},
        {40, 30, 2.0f, {.flags = kBarsOwnFrameSize, .frameWidth = 16, .frameHeight = 20}},
        {40,
         30,
         0.0f,
         {.flags = kBarsOwnFrameSize | kBarsCountFromTop, .frameWidth = 12, .frameHeight = 8}},
        {24, 12, -3.0f, {}, -4},           // columns left of the frame, rows above it
        {8, 2, 0.0f, {.alpha = 0x12345}},  // alpha keeps its low bits, on black bars too
    };
    const TypeParam sentinel = rgba<TypeParam>(7, 7, 7, 7);
    for (const Frame& frame : frames) {
        for (int pattern = -1; pattern <= 5; ++pattern) {
            Canvas<TypeParam> target(frame.width, frame.height, test::kHostOrder<TypeParam>,
                                     sentinel);
            target.texture.xAxis.start = frame.xStart;
            target.texture.setOrigin(0.0f, frame.originY);
            Bars bars = frame.bars;
            bars.pattern = pattern;
            BarGenerator<TypeParam> generator;
            generator.pattern = pattern;
            generator.barFlags = static_cast<std::uint8_t>(bars.flags);
            generator.frameWidth = bars.frameWidth;
            generator.frameHeight = bars.frameHeight;
            if (bars.alpha >= 0) generator.alphaValue = bars.alpha;
            generator.process(&target.texture);
            for (int y = 0; y < frame.height; ++y) {
                for (int x = frame.xStart; x < frame.xStart + frame.width; ++x) {
                    ASSERT_EQ(*target.texture.pixelAt(x, y),
                              rulePixel<TypeParam>(bars, frame.width, frame.height, frame.originY,
                                                   x, y, sentinel))
                        << frame.width << "x" << frame.height << ", origin " << frame.originY
                        << ", flags " << bars.flags << ", pattern " << pattern << ": column " << x
                        << ", row " << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace pattix
