#include "plugin/image/texture.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::RowOrder;

using Texture8 = KtTexture<Rgba8, WorkColour>;
using Texture16 = KtTexture<Rgba16, WorkColour>;

// An axis whose sampling window is stored indices low .. low + count - 1.
KtTexAxis axisWithWindow(std::int32_t size, std::int32_t low, std::int32_t count,
                         std::int32_t mode) {
    KtTexAxis axis;
    axis.setSize(size);
    axis.windowLow = low;
    axis.windowCount = count;
    axis.windowHigh = low + count - 1;
    axis.wrapMode = mode;
    return axis;
}

// ---- sampling window, origin --------------------------------------------------------------

TEST(Texture, SampleWindowTakesEitherOrderAndClampsToTheStoredPixels) {
    Texture8 texture;
    texture.setSize(640, 480);
    texture.setSampleWindow(5, 2, -3, 900);
    EXPECT_EQ(texture.xAxis.windowLow, 2);
    EXPECT_EQ(texture.xAxis.windowHigh, 5);
    EXPECT_EQ(texture.xAxis.windowCount, 4);
    EXPECT_EQ(texture.yAxis.windowLow, 0);
    EXPECT_EQ(texture.yAxis.windowHigh, 479);
    EXPECT_EQ(texture.yAxis.windowCount, 480);
}

TEST(Texture, SettingASizeMakesTheWholeAxisTheWindow) {
    Texture8 texture;
    texture.setSize(640, 480);
    texture.setSampleWindow(5, 2, 7, 9);
    texture.setSize(320, 200);
    EXPECT_EQ(texture.xAxis.windowLow, 0);
    EXPECT_EQ(texture.xAxis.windowHigh, 319);
    EXPECT_EQ(texture.xAxis.windowCount, 320);
    EXPECT_EQ(texture.yAxis.windowCount, 200);
}

TEST(Texture, ANewTextureIsEmpty) {
    Texture16 texture;
    EXPECT_EQ(texture.width(), 0);
    EXPECT_EQ(texture.xAxis.windowHigh, -1);
    EXPECT_EQ(texture.data, nullptr);
    EXPECT_EQ(texture.ownsData, 0);
    EXPECT_EQ(texture.border, Rgba16(0, 0, 0, 0));
}

TEST(Texture, FloatOriginRoundsHalvesUpForItsIntegerForm) {
    struct Case {
        float x, y;
        std::int32_t ix, iy;
    };
    for (const Case c :
         {Case{2.5f, -0.5f, 3, 0}, Case{-1.6f, 0.49f, -2, 0}, Case{-2.5f, 7.2f, -2, 7}}) {
        Texture8 texture;
        texture.setOrigin(c.x, c.y);
        EXPECT_EQ(texture.xAxis.origin, c.x);
        EXPECT_EQ(texture.yAxis.origin, c.y);
        EXPECT_EQ(texture.xAxis.originInt, c.ix) << c.x;
        EXPECT_EQ(texture.yAxis.originInt, c.iy) << c.y;
    }
}

TEST(Texture, IntegerOriginIsStoredInBothForms) {
    Texture8 texture;
    texture.setOrigin(-7, 12);
    EXPECT_EQ(texture.xAxis.origin, -7.0f);
    EXPECT_EQ(texture.yAxis.origin, 12.0f);
    EXPECT_EQ(texture.xAxis.originInt, -7);
    EXPECT_EQ(texture.yAxis.originInt, 12);
}

// ---- wrap modes ---------------------------------------------------------------------------

struct WrapCase {
    std::int32_t mode;
    std::int32_t index;     // relative to windowLow
    std::int32_t expected;  // relative to windowLow, or -1 for none
};

class WrapMapping : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapMapping, MapsAnIndexToItsStoredIndex) {
    const WrapCase c = GetParam();
    // A window of 4 that starts at stored index 3, so the mapping must be relative to it.
    const KtTexAxis axis = axisWithWindow(10, 3, 4, c.mode);
    const std::int32_t mapped = axis.map(3 + c.index);
    EXPECT_EQ(mapped, c.expected < 0 ? -1 : 3 + c.expected)
        << "mode " << c.mode << " index " << c.index;
}

std::string wrapCaseName(const ::testing::TestParamInfo<WrapCase>& param) {
    static const char* const kModes[] = {"Border", "Clamp", "Mirror", "Repeat"};
    const std::int32_t index = param.param.index;
    return std::string(kModes[param.param.mode]) + (index < 0 ? "Minus" : "") +
           std::to_string(index < 0 ? -index : index);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, WrapMapping,
    ::testing::Values(
        // border: inside maps through, outside is none
        WrapCase{kWrapBorder, 0, 0}, WrapCase{kWrapBorder, 3, 3}, WrapCase{kWrapBorder, -1, -1},
        WrapCase{kWrapBorder, 4, -1},
        // clamp
        WrapCase{kWrapClamp, 2, 2}, WrapCase{kWrapClamp, -1, 0}, WrapCase{kWrapClamp, -100, 0},
        WrapCase{kWrapClamp, 4, 3}, WrapCase{kWrapClamp, 100, 3},
        // mirror repeats the edge pixel
        WrapCase{kWrapMirror, -1, 0}, WrapCase{kWrapMirror, -4, 3}, WrapCase{kWrapMirror, -5, 3},
        WrapCase{kWrapMirror, 4, 3}, WrapCase{kWrapMirror, 7, 0}, WrapCase{kWrapMirror, 8, 0},
        WrapCase{kWrapMirror, -10, 1}, WrapCase{kWrapMirror, 17, 1},
        // repeat
        WrapCase{kWrapRepeat, -1, 3}, WrapCase{kWrapRepeat, 4, 0}, WrapCase{kWrapRepeat, -4, 0},
        WrapCase{kWrapRepeat, -5, 3}, WrapCase{kWrapRepeat, 9, 1}),
    wrapCaseName);

TEST(Texture, PairMappingFlagsAdjacentIndices) {
    const KtTexAxis axis = axisWithWindow(10, 3, 4, kWrapRepeat);
    const KtTexAxis::Pair inside = axis.mapPair(4);
    EXPECT_EQ(inside.first, 4);
    EXPECT_EQ(inside.second, 5);
    EXPECT_TRUE(inside.adjacent);
    const KtTexAxis::Pair wrapping = axis.mapPair(6);  // 6 and 7 -> 6 and 3
    EXPECT_EQ(wrapping.first, 6);
    EXPECT_EQ(wrapping.second, 3);
    EXPECT_FALSE(wrapping.adjacent);
    const KtTexAxis border = axisWithWindow(10, 3, 4, kWrapBorder);
    EXPECT_FALSE(border.mapPair(2).adjacent);  // 2 is none, 3 is the first
}

// ---- addressing ---------------------------------------------------------------------------

TEST(Texture, NegativeRowStepViewsTheBufferFromItsLastRowUpward) {
    Canvas<Rgba16> canvas(3, 4, RowOrder::BottomUp);
    canvas.at(1, 0) = Rgba16(1, 2, 3, 4);
    canvas.at(2, 3) = Rgba16(5, 6, 7, 8);
    // Texture row 0 is the last row in memory, texture row 3 the first.
    EXPECT_EQ(canvas.memory[3 * 3 + 1], Rgba16(1, 2, 3, 4));
    EXPECT_EQ(canvas.memory[0 * 3 + 2], Rgba16(5, 6, 7, 8));
}

TEST(Texture, CoordinatesAreStoredIndicesPlusTheAxisStart) {
    Canvas<Rgba8> canvas(4, 4);
    canvas.texture.xAxis.start = 10;
    canvas.texture.yAxis.start = -2;
    *canvas.texture.pixelAt(11, -1) = Rgba8(9, 9, 9, 9);
    EXPECT_EQ(canvas.memory[1 * 4 + 1], Rgba8(9, 9, 9, 9));
}

// ---- sampling -----------------------------------------------------------------------------

template <class Pixel>
class TextureSampling : public ::testing::Test {};
using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(TextureSampling, PixelTypes);

TYPED_TEST(TextureSampling, PixelCentreReturnsThatPixelInTheStoredScale) {
    Canvas<TypeParam> canvas(4, 3, RowOrder::BottomUp);
    const auto unit = TypeParam::unitValue;
    canvas.at(2, 1) = TypeParam(unit, 0, 7, unit);
    WorkColour result;
    canvas.texture.sample(result, 2.0f, 1.0f, 3.0f, 2.0f);
    EXPECT_EQ(result, WorkColour(unit, 0.0f, 7.0f, unit));
    canvas.texture.sampleAround(result, 2.5f, 1.5f, 0.25f, 0.25f);
    EXPECT_EQ(result, WorkColour(unit, 0.0f, 7.0f, unit));
}

TEST(TextureSampling, SixteenBitComponentsSampleAsSignedNumbers) {
    Canvas<Rgba16> canvas(2, 2);
    canvas.at(0, 0) = Rgba16(-16384, -1, 32767, -32768);
    WorkColour result;
    canvas.texture.sample(result, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(result, WorkColour(-16384.0f, -1.0f, 32767.0f, -32768.0f));
}

TEST(TextureSampling, BlendsAlongXThenY) {
    Canvas<Rgba8> canvas(2, 2);
    canvas.at(0, 0) = Rgba8(0, 0, 0, 0);
    canvas.at(1, 0) = Rgba8(100, 0, 0, 0);
    canvas.at(0, 1) = Rgba8(0, 200, 0, 0);
    canvas.at(1, 1) = Rgba8(100, 200, 40, 0);
    WorkColour result;
    // Centre at (0.75, 1.0): sx = 0.25, sy = 0.5.
    canvas.texture.sampleAround(result, 0.75f, 1.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(result.r, 25.0f);
    EXPECT_FLOAT_EQ(result.g, 100.0f);
    EXPECT_FLOAT_EQ(result.b, 0.5f * 0.25f * 40.0f);
}

TEST(TextureSampling, OriginShiftsTheSamplingCoordinates) {
    Canvas<Rgba8> canvas(4, 4);
    canvas.at(1, 2) = Rgba8(50, 60, 70, 80);
    canvas.texture.setOrigin(-3.0f, 5.0f);
    WorkColour result;
    canvas.texture.sample(result, -2.0f, 7.0f, -1.0f, 8.0f);
    EXPECT_EQ(result, WorkColour(50, 60, 70, 80));
}

TEST(TextureSampling, BorderModeBlendsTheLastPixelWithTheBorder) {
    Canvas<Rgba8> canvas(3, 1, RowOrder::TopDown, Rgba8(200, 100, 0, 255));
    canvas.texture.setBorder(Rgba8(0, 0, 50, 0));
    WorkColour result;
    // Exactly between the last column and the outside, on the row's centre.
    canvas.texture.sampleAround(result, 3.0f, 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(result, WorkColour(100.0f, 50.0f, 25.0f, 127.5f));
}

TEST(TextureSampling, ClampMirrorAndRepeatReadInsideTheWindowAcrossTheEdge) {
    Canvas<Rgba8> canvas(4, 1);
    for (int x = 0; x < 4; ++x)
        canvas.at(x, 0) = Rgba8(static_cast<unsigned char>(10 * (x + 1)), 0, 0, 0);
    canvas.texture.setBorder(Rgba8(255, 255, 255, 255));
    struct Case {
        std::int32_t mode;
        float expectedRed;  // between the last column (40) and the column after it
    };
    for (const Case c :
         {Case{kWrapClamp, 40.0f}, Case{kWrapMirror, 40.0f}, Case{kWrapRepeat, 25.0f}}) {
        canvas.texture.setWrapModes(c.mode, c.mode);
        WorkColour result;
        canvas.texture.sampleAround(result, 4.0f, 0.5f, 0.0f, 0.0f);
        EXPECT_FLOAT_EQ(result.r, c.expectedRed) << "mode " << c.mode;
        EXPECT_FLOAT_EQ(result.a, 0.0f) << "the border must not be read in mode " << c.mode;
    }
}

TEST(TextureSampling, ChannelTexturesSampleTheirOneComponent) {
    Canvas<Channel16, WorkChannel> canvas(2, 1);
    canvas.at(0, 0) = Channel16(100);
    canvas.at(1, 0) = Channel16(-100);
    WorkChannel result;
    canvas.texture.sampleAround(result, 1.0f, 0.5f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(result.v, 0.0f);
}

// ---- views and ownership ------------------------------------------------------------------

TEST(Texture, ReferBecomesANonOwningViewOfTheOther) {
    Canvas<Rgba16> canvas(5, 3, RowOrder::BottomUp);
    canvas.texture.setBorder(Rgba16(1, 2, 3, 4));
    canvas.texture.setOrigin(1.5f, 2.0f);
    canvas.texture.setWrapModes(kWrapMirror, kWrapRepeat);
    Texture16 view;
    view.refer(canvas.texture);
    EXPECT_EQ(view.data, canvas.texture.data);
    EXPECT_EQ(view.rowBytes, -40);
    EXPECT_EQ(view.ownsData, 0);
    EXPECT_EQ(view.border, Rgba16(1, 2, 3, 4));
    EXPECT_EQ(view.width(), 5);
    EXPECT_EQ(view.yAxis.size, 3);
    EXPECT_EQ(view.xAxis.originInt, 2);
    EXPECT_EQ(view.yAxis.wrapMode, kWrapRepeat);
    view.refer(view);  // referring to itself changes nothing
    EXPECT_EQ(view.data, canvas.texture.data);
}

TEST(Texture, DestroyingAViewLeavesTheHostMemoryAlone) {
    std::vector<Rgba8> host(16, Rgba8(1, 2, 3, 4));
    {
        Texture8 view;
        view.setSize(4, 4);
        view.data = host.data();
        view.rowBytes = 16;
        view.ownsData = 0;
    }
    // Under the address sanitizer a stray free of host.data() fails here or at its release.
    host.assign(32, Rgba8(5, 6, 7, 8));
    EXPECT_EQ(host[31], Rgba8(5, 6, 7, 8));
}

TEST(Texture, AnOwningTextureReleasesItsMemory) {
    // Under the address sanitizer a leak of this block fails the run.
    Texture8 texture;
    texture.setSize(2, 2);
    texture.data = ::operator new(16);
    texture.ownsData = 1;
    Canvas<Rgba8> other(2, 2);
    texture.refer(other.texture);  // re-pointing releases the owned block
    EXPECT_EQ(texture.ownsData, 0);
    EXPECT_EQ(texture.data, other.texture.data);
}

}  // namespace
}  // namespace pattix
