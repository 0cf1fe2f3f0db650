// What the overlay's OpenGL operations put on screen, read back from an offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "plugin/overlay/axis.hpp"
#include "plugin/overlay/draw.hpp"
#include "plugin/overlay/smooth_draw_guard.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/font.hpp"
#include "tests/overlay/gl_context.hpp"

namespace pattix {
namespace {

using test::Rgb;

constexpr Rgb kGrey{153, 153, 153};  // OverlayGrey, the viewer's clear colour
constexpr OverlayColour kRed{1, 0, 0};
constexpr OverlayColour kBlue{0, 0, 1};
constexpr Rgb kRedPixel{255, 0, 0};
constexpr Rgb kBluePixel{0, 0, 255};

bool reddish(Rgb p) {
    return p.r > p.g + 60 && p.r > p.b + 60;
}
bool greenish(Rgb p) {
    return p.g > p.r + 30 && p.g > p.b + 30;
}
bool bluish(Rgb p) {
    return p.b > p.r + 30 && p.b > p.g + 30;
}

class DrawTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok()) << context.error();
        context.clear(kGrey);
        // As the viewer tool's drawing pass leaves it.
        glShadeModel(GL_FLAT);
        glEnable(GL_LINE_STIPPLE);
        KtTDraw::setFontLists(0);
        sdk::resetCallLog();
    }
    void TearDown() override {
        KtTDraw::setFontLists(0);
        sdk::resetCallLog();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    static int modelviewDepth() {
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        return depth;
    }
    int count(bool (*matches)(Rgb)) const {
        int n = 0;
        for (const Rgb& p : context.readAll()) n += matches(p) ? 1 : 0;
        return n;
    }

    test::OffscreenContext context{128, 128};
};

// --- dashed lines -----------------------------------------------------------------------------

TEST_F(DrawTest, DashedLinesAlternateFourPixelDashesOfBothColoursAndRestoreTheStipple) {
    glLineStipple(3, 0x1234);
    KtTDraw::drawDashedLine(0.0f, 10.5f, 128.0f, 10.5f, kRed, kBlue);
    for (int x = 0; x < 128; ++x)
        ASSERT_EQ(context.pixel(x, 10), (x / 4) % 2 == 0 ? kRedPixel : kBluePixel) << "x " << x;
    EXPECT_EQ(context.pixel(10, 9), kGrey);
    EXPECT_EQ(context.pixel(10, 11), kGrey);

    // An arc over the upper right quadrant shows both colours there and nothing elsewhere.
    context.clear(kGrey);
    KtTDraw::drawDashedArc(64, 64, 40, 0, 90, kRed, kBlue);
    const std::vector<Rgb> pixels = context.readAll();
    int red = 0, blue = 0, outside = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const bool upperRight = i % 128 >= 64 && i / 128 >= 64;
        const bool drawn = pixels[i] == kRedPixel || pixels[i] == kBluePixel;
        red += upperRight && pixels[i] == kRedPixel ? 1 : 0;
        blue += upperRight && pixels[i] == kBluePixel ? 1 : 0;
        outside += !upperRight && drawn ? 1 : 0;
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 20);
    EXPECT_EQ(outside, 0);

    GLint pattern = 0;
    GLint repeat = 0;
    glGetIntegerv(GL_LINE_STIPPLE_PATTERN, &pattern);
    glGetIntegerv(GL_LINE_STIPPLE_REPEAT, &repeat);
    EXPECT_EQ(pattern, 0x1234);
    EXPECT_EQ(repeat, 3);
    EXPECT_TRUE(glIsEnabled(GL_LINE_STIPPLE));
}

// --- disks, circles, arcs, rectangles ---------------------------------------------------------

TEST_F(DrawTest, NoRadiusDrawsNothing) {
    const int depth = modelviewDepth();
    for (float r : {0.0f, -5.0f}) {
        KtTDraw::setColour(kRed);
        KtTDraw::drawCircle(64, 64, r);
        KtTDraw::drawDisk(64, 64, r);
        KtTDraw::drawArc(64, 64, r, 0, 360);
        KtTDraw::drawDiskOutlined(64, 64, r, kRed, kBlue);
    }
    EXPECT_EQ(context.countDifferent(kGrey), 0);
    EXPECT_EQ(modelviewDepth(), depth);
}

TEST_F(DrawTest, DisksFillCirclesOutlineAndRectanglesFillExactlyTheirPixels) {
    KtTDraw::setColour(kRed);
    KtTDraw::drawDisk(40.5f, 40.5f, 10);
    EXPECT_EQ(context.pixel(40, 40), kRedPixel);
    EXPECT_EQ(context.pixel(47, 40), kRedPixel);
    EXPECT_EQ(context.pixel(53, 40), kGrey);

    KtTDraw::setColour(kBlue);
    KtTDraw::drawCircle(90.5f, 90.5f, 10);
    EXPECT_EQ(context.pixel(90, 90), kGrey);
    EXPECT_EQ(context.pixel(90, 100), kBluePixel);
    EXPECT_EQ(context.pixel(80, 90), kBluePixel);

    KtTDraw::drawDiskOutlined(20.5f, 100.5f, 8, kRed, kBlue);
    EXPECT_EQ(context.pixel(20, 100), kRedPixel);
    EXPECT_EQ(context.pixel(20, 108), kBluePixel);

    context.clear(kGrey);
    KtTDraw::setColour(kRed);
    KtTDraw::drawRect(10, 20, 30, 25);
    EXPECT_EQ(context.countDifferent(kGrey), 20 * 5);
    EXPECT_EQ(context.pixel(10, 20), kRedPixel);
    EXPECT_EQ(context.pixel(29, 24), kRedPixel);
}

TEST_F(DrawTest, TheQuadricIsMadeOnDemandAgainAfterItsRelease) {
    KtTDraw::drawDisk(10, 10, 3);
    EXPECT_TRUE(quadricExists());
    releaseQuadric();
    EXPECT_FALSE(quadricExists());
    releaseQuadric();  // twice is harmless
    KtTDraw::setColour(kRed);
    KtTDraw::drawDisk(64.5f, 64.5f, 5);
    EXPECT_TRUE(quadricExists());
    EXPECT_EQ(context.pixel(64, 64), kRedPixel);
}

// Filled behind the tip along the direction, empty ahead of it and beside the base's end.
TEST_F(DrawTest, AnArrowHeadPointsWhereAsked) {
    const float tipX = 64.5f;
    const float tipY = 64.5f;
    for (const auto& [dx, dy] :
         {std::pair{0.0f, 1.0f}, std::pair{0.0f, -1.0f}, std::pair{1.0f, 0.0f},
          std::pair{-1.0f, 0.0f}, std::pair{1.0f, 1.0f}, std::pair{-3.0f, 2.0f}}) {
        context.clear(kGrey);
        KtTDraw::drawArrowHead(tipX, tipY, dx, dy, 20, 6, kRed, kBlue);
        const float ux = dx / std::hypot(dx, dy);
        const float uy = dy / std::hypot(dx, dy);
        auto at = [&](float along, float across) {
            return context.pixel(static_cast<int>(tipX + along * ux + across * uy),
                                 static_cast<int>(tipY + along * uy - across * ux));
        };
        EXPECT_EQ(at(-12, 0), kRedPixel) << dx << ", " << dy;
        EXPECT_EQ(at(8, 0), kGrey) << dx << ", " << dy;
        EXPECT_EQ(at(-12, 9), kGrey) << dx << ", " << dy;
        EXPECT_EQ(at(-18, 3.5f), kRedPixel) << dx << ", " << dy;  // the base is 6 either side
        EXPECT_EQ(at(-3, 3.5f), kGrey) << dx << ", " << dy;       // narrow near the tip
    }
}

TEST_F(DrawTest, ApplyAffineLoadsTheTopOfTheTransformStack) {
    Affine2D m;
    m.scale(2, 2);
    m.translate(40, 10);
    KtTDraw::pushAffine();
    KtTDraw::concatAffine(m);
    glPushMatrix();
    KtTDraw::applyAffine();
    KtTDraw::setColour(kRed);
    KtTDraw::drawRect(0, 0, 5, 5);  // lands on (40, 10) to (50, 20)
    glPopMatrix();
    KtTDraw::popAffine();
    EXPECT_EQ(context.countDifferent(kGrey), 100);
    EXPECT_EQ(context.pixel(40, 10), kRedPixel);
    EXPECT_EQ(context.pixel(49, 19), kRedPixel);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
}

// --- the smoothing guard ----------------------------------------------------------------------

void setEnabled(GLenum cap, bool on) {
    on ? glEnable(cap) : glDisable(cap);
}

TEST_F(DrawTest, TheSmoothingGuardPutsBackExactlyWhatWasOn) {
    struct Case {
        bool blend;
        GLenum source, destination;
        bool points, lines, polygons;
        unsigned mask;
    };
    const Case cases[] = {{false, GL_ONE, GL_ZERO, false, false, false, 7},
                          {true, GL_ONE, GL_ONE, false, false, false, 7},
                          {false, GL_DST_COLOR, GL_ZERO, true, false, true, 7},
                          {true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, true, true, true, 7},
                          {false, GL_ONE, GL_ZERO, false, true, false, 2},
                          {false, GL_ONE, GL_ZERO, false, false, false, 5}};
    using Blend = std::pair<GLint, GLint>;
    auto blend = [] {
        Blend function;
        glGetIntegerv(GL_BLEND_SRC, &function.first);
        glGetIntegerv(GL_BLEND_DST, &function.second);
        return function;
    };
    const GLenum caps[] = {GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH};
    for (const Case& c : cases) {
        const bool was[] = {c.points, c.lines, c.polygons};
        setEnabled(GL_BLEND, c.blend);
        glBlendFunc(c.source, c.destination);
        for (int i = 0; i < 3; ++i) setEnabled(caps[i], was[i]);
        {
            SmoothDrawGuard guard(c.mask);
            EXPECT_TRUE(glIsEnabled(GL_BLEND));
            EXPECT_EQ(blend(), (Blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)));
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(!(c.mask & (1u << i)) || glIsEnabled(caps[i])) << c.mask << ", " << i;
        }
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, c.blend);
        EXPECT_EQ(blend(), (Blend(c.source, c.destination)));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(glIsEnabled(caps[i]) == GL_TRUE, was[i]) << c.mask << ", " << i;
    }
}

// --- text -------------------------------------------------------------------------------------

class TextTest : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        lists = KtTDraw::buildFontLists(wglGetCurrentDC());
        ASSERT_NE(lists, 0u);
    }
    void TearDown() override {
        KtTDraw::deleteFontLists(lists);
        DrawTest::TearDown();
    }

    std::vector<Rgb> render(const char* text) {
        context.clear(kGrey);
        KtTDraw::drawLabelText(text, 4, 40);
        return context.readAll();
    }

    unsigned int lists = 0;
};

TEST_F(TextTest, DrawsPixelsOnlyWhileAFontRangeIsCurrent) {
    KtTDraw::drawLabelText("Pattix", 4, 40);
    EXPECT_EQ(context.countDifferent(kGrey), 0);

    KtTDraw::setFontLists(lists);
    KtTDraw::drawLabelText("Pattix", 4, 40);
    EXPECT_GT(count([](Rgb p) { return p == Rgb{255, 255, 0}; }), 40);
    // The shadow shows one pixel down and left of the text.
    EXPECT_GT(count([](Rgb p) { return p == Rgb{25, 25, 25} || p == Rgb{26, 26, 26}; }), 5);
    EXPECT_NE(render("Frame"), render("Frame."));
    EXPECT_EQ(render("Frame"), render("Frame"));

    KtTDraw::setFontLists(0);
    context.clear(kGrey);
    KtTDraw::drawText("Pattix", 6, 4, 40);
    KtTDraw::drawLabelText(nullptr, 4, 40);
    EXPECT_EQ(context.countDifferent(kGrey), 0);
}

TEST_F(TextTest, TheAxisStatusTextNamesThePartAndTheDescription) {
    KtTDraw::setFontLists(lists);
    KtT2DAxis axis("axis", KtT2DAxis::kCentre | KtT2DAxis::kRotate);
    axis.setDescription("frame");
    struct Case {
        std::int32_t part;
        const char* text;
    };
    for (const Case& c : {Case{KtT2DAxis::kCentre, "Translates the frame."},
                          Case{KtT2DAxis::kMoveX, "Translates the frame."},
                          Case{KtT2DAxis::kRotate, "Rotates the frame."},
                          Case{KtT2DAxis::kScaleX | KtT2DAxis::kScaleY, "Scales the frame."},
                          Case{KtT2DAxis::kAspect, "Aspects the frame."}}) {
        axis.m_nPart = c.part;
        context.clear(kGrey);
        axis.drawLabel({4, 40});
        EXPECT_EQ(context.readAll(), render(c.text)) << c.text;
    }
    axis.m_nPart = KtT2DAxis::kCentre;
    axis.setFlag(KtTObject::kPressed, true);
    context.clear(kGrey);
    axis.drawLabel({4, 40});
    EXPECT_EQ(context.countDifferent(kGrey), 0);  // no label while pressed
    axis.setFlag(KtTObject::kPressed, false);
    axis.m_nPart = 0;
    axis.drawLabel({4, 40});
    EXPECT_EQ(context.countDifferent(kGrey), 0);
}

// --- widgets ----------------------------------------------------------------------------------

TEST_F(DrawTest, AMoveOnlyAxisShowsTwoRedArmsWithFourHeadsAndNothingElse) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.m_Centre = {64.5f, 64.5f};
    const int depth = modelviewDepth();
    axis.draw();
    EXPECT_EQ(modelviewDepth(), depth);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    for (const auto& [x, y] :
         {std::pair{84, 64}, std::pair{44, 64}, std::pair{64, 84}, std::pair{64, 44},
          std::pair{97, 64}, std::pair{31, 64}, std::pair{64, 97}, std::pair{64, 31}}) {
        EXPECT_TRUE(reddish(context.pixel(x, y))) << x << ", " << y;
    }
    EXPECT_EQ(context.pixel(64, 64), kGrey);  // the arms leave the centre open
    EXPECT_EQ(context.pixel(74, 74), kGrey);
    EXPECT_EQ(count(greenish) + count(bluish), 0);

    // A pressed arm turns white; a locked axis draws none.
    context.clear(kGrey);
    axis.m_nPart = KtT2DAxis::kMoveX;
    axis.setFlag(KtTObject::kPressed, true);
    axis.draw();
    EXPECT_GT(context.pixel(84, 64).r, 200);
    EXPECT_GT(context.pixel(84, 64).g, 200);
    EXPECT_TRUE(reddish(context.pixel(64, 84)));
    context.clear(kGrey);
    axis.setAxisFlag(KtT2DAxis::kLocked, true);
    axis.draw();
    EXPECT_EQ(context.countDifferent(kGrey), 0);
}

TEST_F(DrawTest, TheRotationAndScaleHandlesHaveTheirColours) {
    KtT2DAxis axis("axis", KtT2DAxis::kRotate | KtT2DAxis::kUniformScale);
    glPushMatrix();
    glTranslatef(64.5f, 64.5f, 0);  // neither move part: drawn about the origin
    axis.draw();
    glPopMatrix();
    EXPECT_GT(count(greenish), 30);
    EXPECT_GT(count(bluish), 100);
    EXPECT_EQ(count(reddish), 0);
    EXPECT_TRUE(bluish(context.pixel(64 + 37, 64)));  // the box's right edge
}

TEST_F(DrawTest, AnAxisThroughTheTransformStackIsDrawnWhereTheStackSays) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.m_Centre = {40.5f, 64.5f};
    axis.m_bThroughTransformStack = true;
    Affine2D shift;
    shift.translate(30, 0);
    KtTDraw::pushAffine();
    KtTDraw::concatAffine(shift);
    axis.draw();
    KtTDraw::popAffine();
    EXPECT_TRUE(reddish(context.pixel(70, 84)));  // the y arm, 30 to the right
    EXPECT_EQ(context.pixel(40, 84), kGrey);
}

TEST_F(DrawTest, AGroupFillsItsBoundsWithItsBackground) {
    KtTGroup group("group");
    group.m_Bounds = {10, 10, 20, 10};
    group.draw();
    EXPECT_EQ(context.countDifferent(kGrey), 0);  // the default grey
    group.m_GroupFlags &= static_cast<std::uint8_t>(~KtTGroup::kDefaultGrey);
    group.m_BackgroundColour = kBlue;
    group.draw();
    EXPECT_EQ(context.pixel(15, 15), kBluePixel);
    EXPECT_EQ(context.countDifferent(kGrey), 200);
}

}  // namespace
}  // namespace pattix
