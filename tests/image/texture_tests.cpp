#include "plugin/image/texture.hpp"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "tests/image/canvas.hpp"

namespace pattix {
namespace {

using test::Canvas;
using test::RowOrder;

using Texture8 = KtTexture<Rgba8, WorkColour>;

TEST(Texture, SampleWindowTakesEitherOrderClampsAndIsResetBySetSize) {
    Texture8 texture;
    texture.setSize(640, 480);
    texture.setSampleWindow(5, 2, -3, 900);
    EXPECT_EQ(texture.xAxis.windowLow, 2);
    EXPECT_EQ(texture.xAxis.windowHigh, 5);
    EXPECT_EQ(texture.xAxis.windowCount, 4);
    EXPECT_EQ(texture.yAxis.windowLow, 0);
    EXPECT_EQ(texture.yAxis.windowHigh, 479);
    EXPECT_EQ(texture.yAxis.windowCount, 480);
    texture.setSize(320, 200);
    EXPECT_EQ(texture.xAxis.windowLow, 0);
    EXPECT_EQ(texture.xAxis.windowHigh, 319);
    EXPECT_EQ(texture.xAxis.windowCount, 320);
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
    Texture8 texture;
    texture.setOrigin(-7, 12);
    EXPECT_EQ(texture.yAxis.origin, 12.0f);
    EXPECT_EQ(texture.xAxis.originInt, -7);
}

TEST(Texture, WrapModesMapIndicesRelativeToTheWindow) {
    struct Case {
        std::int32_t mode;
        std::int32_t index;     // relative to the window's first index
        std::int32_t expected;  // relative to the window's first index; -1 for none
    };
    const Case cases[] = {
        {kWrapBorder, 0, 0},  {kWrapBorder, 3, 3},  {kWrapBorder, -1, -1}, {kWrapBorder, 4, -1},
        {kWrapClamp, 2, 2},   {kWrapClamp, -1, 0},  {kWrapClamp, -100, 0}, {kWrapClamp, 4, 3},
        {kWrapClamp, 100, 3}, {kWrapMirror, -1, 0}, {kWrapMirror, -4, 3},  {kWrapMirror, -5, 3},
        {kWrapMirror, 4, 3},  {kWrapMirror, 7, 0},  {kWrapMirror, 8, 0},   {kWrapMirror, -10, 1},
        {kWrapMirror, 17, 1}, {kWrapRepeat, -1, 3}, {kWrapRepeat, 4, 0},   {kWrapRepeat, -4, 0},
        {kWrapRepeat, -5, 3}, {kWrapRepeat, 9, 1}};
    for (const Case c : cases) {
        // A window of 4 that starts at stored index 3, so the mapping must be relative to it.
        Texture8 texture;
        texture.setSize(10, 1);
        texture.setSampleWindow(3, 6, 0, 0);
        texture.setWrapModes(c.mode, c.mode);
        EXPECT_EQ(texture.xAxis.map(3 + c.index), c.expected < 0 ? -1 : 3 + c.expected)
            << "mode " << c.mode << ", index " << c.index;
    }
}

TEST(Texture, NegativeRowStepViewsTheBufferFromItsLastRowUpward) {
    Canvas<Rgba16> canvas(3, 4, RowOrder::BottomUp);
    canvas.at(1, 0) = Rgba16(1, 2, 3, 4);
    canvas.at(2, 3) = Rgba16(5, 6, 7, 8);
    EXPECT_EQ(canvas.memory[3 * 3 + 1], Rgba16(1, 2, 3, 4));
    EXPECT_EQ(canvas.memory[0 * 3 + 2], Rgba16(5, 6, 7, 8));
    // Coordinates are stored indices plus the axis start.
    canvas.texture.xAxis.start = 10;
    canvas.texture.yAxis.start = -2;
    *canvas.texture.pixelAt(11, -1) = Rgba16(9, 9, 9, 9);
    EXPECT_EQ(canvas.memory[2 * 3 + 1], Rgba16(9, 9, 9, 9));
}

// ---- sampling -----------------------------------------------------------------------------

template <class Pixel>
class TextureSampling : public ::testing::Test {};
using PixelTypes = ::testing::Types<Rgba8, Rgba16>;
TYPED_TEST_SUITE(TextureSampling, PixelTypes);

TYPED_TEST(TextureSampling, PixelCentreReturnsThatPixelInTheStoredScaleRelativeToTheOrigin) {
    Canvas<TypeParam> canvas(4, 3, RowOrder::BottomUp);
    const auto unit = TypeParam::unitValue;
    canvas.at(2, 1) = TypeParam(unit, 0, 7, unit);
    WorkColour result;
    canvas.texture.sample(result, 2.0f, 1.0f, 3.0f, 2.0f);
    EXPECT_EQ(result, WorkColour(unit, 0.0f, 7.0f, unit));
    canvas.texture.sampleAround(result, 2.5f, 1.5f, 0.25f, 0.25f);
    EXPECT_EQ(result, WorkColour(unit, 0.0f, 7.0f, unit));
    canvas.texture.setOrigin(-3.0f, 5.0f);
    canvas.texture.sample(result, -1.0f, 6.0f, 0.0f, 7.0f);
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

TEST(TextureSampling, AcrossTheEdgeOnlyBorderModeReadsTheBorder) {
    Canvas<Rgba8> canvas(4, 1);
    for (int x = 0; x < 4; ++x)
        canvas.at(x, 0) = Rgba8(static_cast<unsigned char>(10 * (x + 1)), 100, 0, 255);
    canvas.texture.setBorder(Rgba8(0, 0, 50, 0));
    struct Case {
        std::int32_t mode;
        WorkColour expected;  // exactly between the last column (40) and the one after it
    };
    for (const Case c : {Case{kWrapBorder, WorkColour(20.0f, 50.0f, 25.0f, 127.5f)},
                         Case{kWrapClamp, WorkColour(40.0f, 100.0f, 0.0f, 255.0f)},
                         Case{kWrapMirror, WorkColour(40.0f, 100.0f, 0.0f, 255.0f)},
                         Case{kWrapRepeat, WorkColour(25.0f, 100.0f, 0.0f, 255.0f)}}) {
        canvas.texture.setWrapModes(c.mode, c.mode);
        WorkColour result;
        canvas.texture.sampleAround(result, 4.0f, 0.5f, 0.0f, 0.0f);
        EXPECT_EQ(result, c.expected) << "mode " << c.mode;
    }
}

TEST(TextureSampling, ChannelTexturesSampleTheirOneComponent) {
    Canvas<Channel16, WorkChannel> canvas(2, 1);
    canvas.at(0, 0) = Channel16(100);
    canvas.at(1, 0) = Channel16(-60);
    WorkChannel result;
    canvas.texture.sampleAround(result, 1.25f, 0.5f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(result.v, -20.0f);
}

// ---- ownership ----------------------------------------------------------------------------

// Under the address sanitizer a stray free of the host's memory or a leak of an owned block
// fails the run.
TEST(Texture, OnlyAnOwningTextureReleasesItsMemory) {
    std::vector<Rgba8> host(16, Rgba8(1, 2, 3, 4));
    {
        Texture8 view;
        view.setSize(4, 4);
        view.data = host.data();
        view.rowBytes = 16;
    }
    host.assign(32, Rgba8(5, 6, 7, 8));
    EXPECT_EQ(host[31], Rgba8(5, 6, 7, 8));

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
