#include "plugin/image/ramp_generator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <type_traits>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::rgba;

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
    const int full = Pixel::unitValue;
    const int alpha = setup.alpha < 0 ? full : setup.alpha;
    const bool own = (setup.rampFlags & kRampOwnFrameSize) != 0;
    const int width = own ? setup.frameWidth : textureWidth;
    const int height = own ? setup.frameHeight : textureHeight;
    const int oy = (setup.originFlags & kRampIgnoreOrigin) ? 0 : static_cast<int>(originY);
    int r = y - oy;
    const bool reverse = (setup.rampFlags & kRampReverse) != 0;
    const bool horizontal = setup.direction == kRampHorizontal;
    if (!horizontal && reverse) r = height - r - 1;
    const int t = horizontal ? x : r;
    const int rampLength = horizontal ? width : height;
    const int s = horizontal ? r : x;
    const int bandLength = horizontal ? height : width;
    const Pixel black = rgba<Pixel>(0, 0, 0, alpha);
    if (s < 0 || s >= bandLength || t < 0 || t >= rampLength) return black;

    const float S = static_cast<float>(bandLength);
    bool on[3] = {false, false, false};
    bool backwards = false;
    switch (setup.type) {
        case kRgbRamp: {
            int b = static_cast<int>(static_cast<float>(s) / std::max(S / 3.0f, 1.0f));
            if (horizontal && reverse) b = 2 - b;
            if (b >= 0 && b < 3) on[b] = true;
            break;
        }
        case kGreyRamp:
            on[0] = on[1] = on[2] = true;
            break;
        case kRgbCrossedRamp: {
            int b = static_cast<int>(static_cast<double>(s) / static_cast<double>(S / 3.0f));
            if (horizontal && reverse) b = 2 - b;
            const int u = static_cast<int>(static_cast<float>(s) / std::max(S / 6.0f, 1.0f));
            if (b >= 0 && b < 3) on[b] = true;
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
    return rgba<Pixel>(on[0] ? value : 0, on[1] ? value : 0, on[2] ? value : 0, alpha);
}

template <class Pixel>
class RampGenerator : public ::testing::Test {
protected:
    // Renders a ramp configured as the render configures it into a host-ordered canvas.
    static std::unique_ptr<Canvas<Pixel>> render(const RampSetup& setup, int width, int height,
                                                 float originY = 0.0f) {
        auto target = std::make_unique<Canvas<Pixel>>(width, height, test::kHostOrder<Pixel>);
        target->texture.setOrigin(0.0f, originY);
        std::conditional_t<std::is_same_v<Pixel, Rgba8>, KtRampGenerator8, KtRampGenerator16>
            generator;
        generator.rampType = setup.type;
        generator.direction = setup.direction;
        generator.alphaValue = setup.alpha < 0 ? Pixel::unitValue : setup.alpha;
        generator.rampFlags = static_cast<std::uint8_t>(setup.rampFlags);
        generator.originFlags = static_cast<std::uint8_t>(setup.originFlags);
        generator.frameWidth = setup.frameWidth;
        generator.frameHeight = setup.frameHeight;
        generator.process(&target->texture);
        return target;
    }

    // Every pixel of the canvas against the pixel rule.
    static void expectRule(Canvas<Pixel>& target, const RampSetup& setup, float originY) {
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                ASSERT_EQ(target.at(x, y),
                          rulePixel<Pixel>(setup, target.width, target.height, originY, x, y))
                    << "type " << setup.type << ", direction " << setup.direction << ", flags "
                    << setup.rampFlags << ", " << target.width << "x" << target.height
                    << ", origin " << originY << ": column " << x << ", row " << y;
            }
        }
    }
};

using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(RampGenerator, PixelTypes);

// ---- every pixel against the rule ---------------------------------------------------------

TYPED_TEST(RampGenerator, EveryPixelFollowsThePixelRule) {
    struct Frame {
        int width, height;
        float originY;
    };
    const Frame frames[] = {
        {720, 576, 0.0f}, {97, 61, 0.0f}, {31, 7, 2.9f}, {5, 2, -0.5f}, {64, 1000, -3.2f}};
    for (const Frame& frame : frames) {
        for (int type = -1; type <= 4; ++type) {  // -1 and 4 are unknown: black
            for (const int direction : {kRampHorizontal, kRampVertical}) {
                for (const int flags : {0, int{kRampReverse}}) {
                    const RampSetup setup{type, direction, flags};
                    auto target = this->render(setup, frame.width, frame.height, frame.originY);
                    this->expectRule(*target, setup, frame.originY);
                }
            }
        }
    }
}

TYPED_TEST(RampGenerator, OwnFrameSizeIgnoredOriginAndAlphaFollowThePixelRule) {
    for (int type = 0; type <= 3; ++type) {
        for (const int direction : {kRampHorizontal, kRampVertical}) {
            RampSetup setup{type, direction, kRampOwnFrameSize | kRampReverse, kRampIgnoreOrigin,
                            37,   23};
            this->expectRule(*this->render(setup, 50, 40, 6.5f), setup, 6.5f);
            setup.originFlags = 0;
            setup.alpha = 77;
            this->expectRule(*this->render(setup, 50, 40, 6.5f), setup, 6.5f);
        }
    }
}

}  // namespace
}  // namespace pattix
