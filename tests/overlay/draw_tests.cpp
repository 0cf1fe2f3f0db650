// What the overlay's OpenGL operations put on screen, read back from an offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "plugin/overlay/axis.hpp"
#include "plugin/overlay/draw.hpp"
#include "plugin/overlay/manager.hpp"
#include "plugin/overlay/smooth_draw_guard.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/font.hpp"
#include "tests/overlay/gl_context.hpp"

namespace pattix {
namespace {

using test::OffscreenContext;
using test::Rgb;

constexpr Rgb kGrey{153, 153, 153};  // OverlayGrey, the viewer's clear colour
constexpr OverlayColour kRed{1, 0, 0};
constexpr OverlayColour kBlue{0, 0, 1};
constexpr Rgb kRedPixel{255, 0, 0};
constexpr Rgb kBluePixel{0, 0, 255};

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

    int modelviewDepth() const {
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        return depth;
    }

    OffscreenContext context{128, 128};
};

// --- dashed lines -----------------------------------------------------------------------------

TEST_F(DrawTest, ADashedLineAlternatesFourPixelDashesOfBothColours) {
    KtTDraw::drawDashedLine(0.0f, 10.5f, 128.0f, 10.5f, kRed, kBlue);
    for (int x = 0; x < 128; ++x) {
        const Rgb expected = (x / 4) % 2 == 0 ? kRedPixel : kBluePixel;
        ASSERT_EQ(context.pixel(x, 10), expected) << "x " << x;
    }
    EXPECT_EQ(context.pixel(10, 9), kGrey);
    EXPECT_EQ(context.pixel(10, 11), kGrey);
}

TEST_F(DrawTest, DashedOperationsRestoreTheStippleInForce) {
    glLineStipple(3, 0x1234);
    KtTDraw::drawDashedLine(0, 0, 10, 10, kRed, kBlue);
    KtTDraw::drawDashedArc(64, 64, 20, 0, 90, kRed, kBlue);
    GLint pattern = 0;
    GLint repeat = 0;
    glGetIntegerv(GL_LINE_STIPPLE_PATTERN, &pattern);
    glGetIntegerv(GL_LINE_STIPPLE_REPEAT, &repeat);
    EXPECT_EQ(pattern, 0x1234);
    EXPECT_EQ(repeat, 3);
    EXPECT_TRUE(glIsEnabled(GL_LINE_STIPPLE));
}

TEST_F(DrawTest, ADashedArcShowsBothColoursOnItsQuadrantOnly) {
    KtTDraw::drawDashedArc(64, 64, 40, 0, 90, kRed, kBlue);
    int red[4] = {};
    int blue[4] = {};
    const std::vector<Rgb> pixels = context.readAll();
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const int quadrant = (x >= 64 ? 0 : 1) + (y >= 64 ? 0 : 2);  // 0: upper right
            const Rgb p = pixels[static_cast<std::size_t>(y) * 128 + x];
            red[quadrant] += p == kRedPixel ? 1 : 0;
            blue[quadrant] += p == kBluePixel ? 1 : 0;
        }
    }
    EXPECT_GT(red[0], 20);
    EXPECT_GT(blue[0], 20);
    for (int q = 1; q < 4; ++q)
        EXPECT_EQ(red[q] + blue[q], 0) << "quadrant " << q;
}

// --- disks, circles, arcs ---------------------------------------------------------------------

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

TEST_F(DrawTest, ADiskFillsAndACircleOutlines) {
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
}

TEST_F(DrawTest, AnOutlinedDiskHasBothColours) {
    KtTDraw::drawDiskOutlined(64.5f, 64.5f, 8, kRed, kBlue);
    EXPECT_EQ(context.pixel(64, 64), kRedPixel);
    EXPECT_EQ(context.pixel(64, 72), kBluePixel);
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

// --- arrow heads ------------------------------------------------------------------------------

struct ArrowCase {
    float dx;
    float dy;
};

void PrintTo(const ArrowCase& c, std::ostream* os) {
    *os << "direction (" << c.dx << ", " << c.dy << ")";
}

class ArrowHeadTest : public DrawTest, public testing::WithParamInterface<ArrowCase> {};

TEST_P(ArrowHeadTest, PointsWhereAsked) {
    const ArrowCase& c = GetParam();
    const float tipX = 64.5f;
    const float tipY = 64.5f;
    KtTDraw::drawArrowHead(tipX, tipY, c.dx, c.dy, 20, 6, kRed, kBlue);
    const float length = std::sqrt(c.dx * c.dx + c.dy * c.dy);
    const float ux = c.dx / length;
    const float uy = c.dy / length;
    // Inside, behind the tip along the direction; outside, ahead of it.
    const Rgb behind =
        context.pixel(static_cast<int>(tipX - 12 * ux), static_cast<int>(tipY - 12 * uy));
    const Rgb ahead =
        context.pixel(static_cast<int>(tipX + 8 * ux), static_cast<int>(tipY + 8 * uy));
    const Rgb side = context.pixel(static_cast<int>(tipX - 12 * ux + 9 * uy),
                                   static_cast<int>(tipY - 12 * uy - 9 * ux));
    EXPECT_EQ(behind, kRedPixel);
    EXPECT_EQ(ahead, kGrey);
    EXPECT_EQ(side, kGrey);
    EXPECT_GT(context.countDifferent(kGrey), 60);
}

INSTANTIATE_TEST_SUITE_P(Directions, ArrowHeadTest,
                         testing::Values(ArrowCase{0, 1}, ArrowCase{0, -1}, ArrowCase{1, 0},
                                         ArrowCase{-1, 0}, ArrowCase{1, 1}, ArrowCase{-3, 2}));

TEST_F(DrawTest, AnArrowHeadUpHasItsBaseBelowTheTip) {
    KtTDraw::drawArrowHead(64.5f, 80.5f, 0, 1, 20, 6, kRed, kRed);
    EXPECT_EQ(context.pixel(64, 78), kRedPixel);
    EXPECT_EQ(context.pixel(64, 62), kRedPixel);
    EXPECT_EQ(context.pixel(64, 58), kGrey);
    EXPECT_EQ(context.pixel(64, 84), kGrey);
    EXPECT_EQ(context.pixel(69, 62), kRedPixel);  // the base is 6 wide either side
    EXPECT_EQ(context.pixel(69, 76), kGrey);      // narrow near the tip
}

// --- rectangles and transforms ----------------------------------------------------------------

TEST_F(DrawTest, ARectangleFillsExactlyItsPixels) {
    KtTDraw::setColour(kRed);
    KtTDraw::drawRect(10, 20, 30, 25);
    EXPECT_EQ(context.countDifferent(kGrey), 20 * 5);
    EXPECT_EQ(context.pixel(10, 20), kRedPixel);
    EXPECT_EQ(context.pixel(29, 24), kRedPixel);
    EXPECT_EQ(context.pixel(30, 24), kGrey);
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

struct GuardCase {
    bool blend;
    GLenum source;
    GLenum destination;
    bool points;
    bool lines;
    bool polygons;
    unsigned mask;
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << "blend " << c.blend << " 0x" << std::hex << c.source << " 0x" << c.destination
        << std::dec << ", smooth " << c.points << c.lines << c.polygons << ", mask " << c.mask;
}

class SmoothDrawGuardTest : public DrawTest, public testing::WithParamInterface<GuardCase> {};

void setEnabled(GLenum cap, bool on) {
    on ? glEnable(cap) : glDisable(cap);
}

TEST_P(SmoothDrawGuardTest, PutsBackExactlyWhatWasOn) {
    const GuardCase& c = GetParam();
    setEnabled(GL_BLEND, c.blend);
    glBlendFunc(c.source, c.destination);
    setEnabled(GL_POINT_SMOOTH, c.points);
    setEnabled(GL_LINE_SMOOTH, c.lines);
    setEnabled(GL_POLYGON_SMOOTH, c.polygons);
    {
        SmoothDrawGuard guard(c.mask);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        GLint source = 0;
        GLint destination = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        glGetIntegerv(GL_BLEND_DST, &destination);
        EXPECT_EQ(source, GL_SRC_ALPHA);
        EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
        if (c.mask & SmoothDrawGuard::kPoints) {
            EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
        }
        if (c.mask & SmoothDrawGuard::kLines) {
            EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
        }
        if (c.mask & SmoothDrawGuard::kPolygons) {
            EXPECT_TRUE(glIsEnabled(GL_POLYGON_SMOOTH));
        }
    }
    EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, c.blend);
    EXPECT_EQ(glIsEnabled(GL_POINT_SMOOTH) == GL_TRUE, c.points);
    EXPECT_EQ(glIsEnabled(GL_LINE_SMOOTH) == GL_TRUE, c.lines);
    EXPECT_EQ(glIsEnabled(GL_POLYGON_SMOOTH) == GL_TRUE, c.polygons);
    GLint source = 0;
    GLint destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, static_cast<GLint>(c.source));
    EXPECT_EQ(destination, static_cast<GLint>(c.destination));
}

INSTANTIATE_TEST_SUITE_P(
    States, SmoothDrawGuardTest,
    testing::Values(GuardCase{false, GL_ONE, GL_ZERO, false, false, false, 7},
                    GuardCase{true, GL_ONE, GL_ONE, false, false, false, 7},
                    GuardCase{false, GL_DST_COLOR, GL_ZERO, true, false, true, 7},
                    GuardCase{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, true, true, true, 7},
                    GuardCase{false, GL_ONE, GL_ZERO, false, true, false, 2},
                    GuardCase{false, GL_ONE, GL_ZERO, false, false, false, 5}));

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
    int yellow = 0;
    int shadow = 0;
    for (const Rgb& p : context.readAll()) {
        yellow += p == Rgb{255, 255, 0} ? 1 : 0;
        shadow += p == Rgb{25, 25, 25} || p == Rgb{26, 26, 26} ? 1 : 0;
    }
    EXPECT_GT(yellow, 40);
    EXPECT_GT(shadow, 5);  // the shadow shows one pixel down and left of the text

    KtTDraw::setFontLists(0);
    context.clear(kGrey);
    KtTDraw::drawText("Pattix", 6, 4, 40);
    KtTDraw::drawLabelText(nullptr, 4, 40);
    EXPECT_EQ(context.countDifferent(kGrey), 0);
}

TEST_F(TextTest, DifferentTextsDrawDifferently) {
    KtTDraw::setFontLists(lists);
    const std::vector<Rgb> a = render("Frame");
    const std::vector<Rgb> b = render("Frame.");
    const std::vector<Rgb> again = render("Frame");
    EXPECT_NE(a, b);
    EXPECT_EQ(a, again);
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

bool reddish(Rgb p) {
    return p.r > p.g + 60 && p.r > p.b + 60;
}
bool greenish(Rgb p) {
    return p.g > p.r + 30 && p.g > p.b + 30;
}
bool bluish(Rgb p) {
    return p.b > p.r + 30 && p.b > p.g + 30;
}

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
    int other = 0;
    for (const Rgb& p : context.readAll())
        other += greenish(p) || bluish(p) ? 1 : 0;
    EXPECT_EQ(other, 0);
}

TEST_F(DrawTest, APressedArmTurnsWhite) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.m_Centre = {64.5f, 64.5f};
    axis.m_nPart = KtT2DAxis::kMoveX;
    axis.setFlag(KtTObject::kPressed, true);
    axis.draw();
    const Rgb onX = context.pixel(84, 64);
    EXPECT_GT(onX.r, 200);
    EXPECT_GT(onX.g, 200);
    EXPECT_TRUE(reddish(context.pixel(64, 84)));
}

TEST_F(DrawTest, ALockedAxisDrawsNoArms) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.m_Centre = {64.5f, 64.5f};
    axis.setAxisFlag(KtT2DAxis::kLocked, true);
    axis.draw();
    EXPECT_EQ(context.countDifferent(kGrey), 0);
}

TEST_F(DrawTest, TheRotationAndScaleHandlesHaveTheirColours) {
    KtT2DAxis axis("axis", KtT2DAxis::kRotate | KtT2DAxis::kUniformScale);
    axis.draw();  // neither move part: drawn about the origin
    context.clear(kGrey);
    glPushMatrix();
    glTranslatef(64.5f, 64.5f, 0);
    axis.draw();
    glPopMatrix();
    int green = 0;
    int blue = 0;
    int red = 0;
    for (const Rgb& p : context.readAll()) {
        green += greenish(p) ? 1 : 0;
        blue += bluish(p) ? 1 : 0;
        red += reddish(p) ? 1 : 0;
    }
    EXPECT_GT(green, 30);
    EXPECT_GT(blue, 100);
    EXPECT_EQ(red, 0);
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
    EXPECT_EQ(context.pixel(15, 15), kGrey);  // the default grey
    EXPECT_EQ(context.countDifferent(kGrey), 0);
    group.m_GroupFlags &= static_cast<std::uint8_t>(~KtTGroup::kDefaultGrey);
    group.m_BackgroundColour = kBlue;
    group.draw();
    EXPECT_EQ(context.pixel(15, 15), kBluePixel);
    EXPECT_EQ(context.countDifferent(kGrey), 200);
}

}  // namespace
}  // namespace pattix
