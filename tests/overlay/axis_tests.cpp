#include "plugin/overlay/axis.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

constexpr float kDegree = 3.14159265f / 180.0f;

KtMessage penMessage(std::int32_t type, float x, float y) {
    KtMessage message(type);
    message.setPoint(x, y);
    return message;
}

void placeAt(KtT2DAxis& axis, float x, float y) {
    axis.m_Centre = {x, y};
    axis.setAxisFlag(KtT2DAxis::kMatrixDirty, true);
    axis.updateBounds();
}

// Presses on (x, y) as the manager would: pick, then penDown.
std::int32_t grab(KtT2DAxis& axis, float x, float y, float tol = 3.0f) {
    if (axis.pick(x, y, tol, tol) == nullptr)
        return 0;
    axis.penDown(x, y);
    return axis.m_nPart;
}

struct MessageLog : KtMessageHandler {
    struct Entry {
        std::int32_t type;
        std::int32_t kind;
        std::int32_t value;
        std::string name;
    };
    void handleMessage(const KtMessage& message, KtMessageSender*) override {
        entries.push_back(
            {message.m_nType, message.m_nKind, message.m_Payload.value, message.m_szName});
    }
    std::vector<Entry> entries;
};

// --- hit test ---------------------------------------------------------------------------------

TEST(AxisHitTest, NearTheCentreAPressTakesBothMovesAndMovesBothCoordinates) {
    KtTManager manager;
    KtT2DAxis axis("Frame Centre", KtT2DAxis::kCentre);
    placeAt(axis, 100, 100);
    manager.addObject(&axis);
    // Within 3 + tolerance (3) of the centre in both axes.
    manager.handleEvent(penMessage(PenDown, 105.5f, 94.5f));
    EXPECT_EQ(axis.m_nPart, KtT2DAxis::kCentre);
    EXPECT_EQ(manager.m_pHit, &axis);
    manager.handleEvent(penMessage(PenMove, 115.5f, 104.5f));
    EXPECT_FLOAT_EQ(axis.m_Centre.x, 110.0f);
    EXPECT_FLOAT_EQ(axis.m_Centre.y, 110.0f);
    EXPECT_FLOAT_EQ(axis.m_Bounds.x, 110.0f - 37.0f);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
}

TEST(AxisHitTest, JustOutsideTheCentreSlackTheArmsTakeOver) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    EXPECT_EQ(grab(axis, 6.0f, 0.0f), KtT2DAxis::kMoveX);  // |dx| = 3 + tol is not less
    KtT2DAxis other("axis", KtT2DAxis::kCentre);
    EXPECT_EQ(grab(other, 6.0f, 6.0f), 0);
}

struct ArmCase {
    float pixelScale;
    float dx;
    float dy;
    std::int32_t part;
};

void PrintTo(const ArmCase& c, std::ostream* os) {
    *os << "scale " << c.pixelScale << ", pen at (" << c.dx << ", " << c.dy << ")";
}

class AxisArms : public testing::TestWithParam<ArmCase> {};

// The horizontal arm, 35 x s right of the centre and less than the y tolerance above it,
// takes part 1 and moves only x; the vertical arm likewise moves only y.
TEST_P(AxisArms, AnArmMovesItsOwnCoordinateOnly) {
    const ArmCase& c = GetParam();
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.setScale(c.pixelScale);
    placeAt(axis, 50, 60);
    const float x = 50 + c.dx * c.pixelScale;
    const float y = 60 + c.dy * c.pixelScale;
    ASSERT_EQ(grab(axis, x, y), c.part);
    axis.drag(x + 5, y + 7);
    EXPECT_FLOAT_EQ(axis.m_Centre.x, c.part == KtT2DAxis::kMoveX ? 55.0f : 50.0f);
    EXPECT_FLOAT_EQ(axis.m_Centre.y, c.part == KtT2DAxis::kMoveY ? 67.0f : 60.0f);
}

INSTANTIATE_TEST_SUITE_P(Cases, AxisArms,
                         testing::Values(ArmCase{1.0f, 35.0f, 2.0f, KtT2DAxis::kMoveX},
                                         ArmCase{1.0f, -35.0f, -2.0f, KtT2DAxis::kMoveX},
                                         ArmCase{2.0f, 35.0f, 1.0f, KtT2DAxis::kMoveX},
                                         ArmCase{1.0f, 2.0f, 35.0f, KtT2DAxis::kMoveY},
                                         ArmCase{2.0f, -1.0f, -35.0f, KtT2DAxis::kMoveY}));

TEST(AxisHitTest, BeyondTheArmsTipNothingIsHit) {
    KtT2DAxis axis("axis", KtT2DAxis::kMoveX);
    axis.m_pActive = &axis;
    EXPECT_EQ(axis.pick(40.5f, 0.0f, 3.0f, 3.0f), nullptr);  // 37 + 3 is the reach
    EXPECT_EQ(axis.m_pActive, nullptr);
    EXPECT_EQ(axis.pick(39.5f, 0.0f, 3.0f, 3.0f), &axis);
    EXPECT_EQ(axis.pick(10.0f, 3.0f, 3.0f, 3.0f), nullptr);  // |dy| must be below tol
}

struct GripCase {
    float rotation;  // degrees
    float penAngle;  // degrees from the parent's x axis
    bool takesRotation;
};

void PrintTo(const GripCase& c, std::ostream* os) {
    *os << "rotation " << c.rotation << ", pen at " << c.penAngle << " degrees";
}

class AxisRotationGrip : public testing::TestWithParam<GripCase> {};

TEST_P(AxisRotationGrip, SpansFortyFiveDegreesEitherSideOfTheLocalXAxis) {
    const GripCase& c = GetParam();
    KtT2DAxis axis("axis", KtT2DAxis::kRotate);
    axis.m_fRotation = c.rotation;
    const float a = c.penAngle * kDegree;
    const float x = c.penAngle == 45.0f ? 22.627417f : 32.0f * std::cos(a);
    const float y = c.penAngle == 45.0f ? 22.627417f : 32.0f * std::sin(a);
    EXPECT_EQ(axis.pick(x, y, 2.0f, 2.0f) != nullptr, c.takesRotation)
        << c.rotation << " " << c.penAngle;
    EXPECT_EQ(axis.m_nPart, c.takesRotation ? KtT2DAxis::kRotate : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisRotationGrip,
    testing::Values(GripCase{0.0f, 45.0f, true}, GripCase{0.0f, 50.0f, false},
                    GripCase{0.0f, -44.0f, true}, GripCase{0.0f, -50.0f, false},
                    GripCase{30.0f, 74.0f, true}, GripCase{30.0f, 80.0f, false},
                    GripCase{30.0f, -14.0f, true}, GripCase{30.0f, -20.0f, false}));

TEST(AxisHitTest, ALockedWidgetIsNeverHit) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre | KtT2DAxis::kRotate);
    axis.setAxisFlag(KtT2DAxis::kLocked, true);
    EXPECT_EQ(axis.pick(0, 0, 3, 3), nullptr);
    EXPECT_EQ(axis.pick(32, 0, 3, 3), nullptr);
    EXPECT_EQ(axis.m_nPart, 0);
}

TEST(AxisHitTest, AHitAsksForARedrawOnlyWhenThePartChanges) {
    KtTManager manager;
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    manager.addObject(&axis);
    manager.setFlag(KtTManager::kRedraw, false);
    axis.pick(0, 0, 3, 3);
    EXPECT_TRUE(manager.redrawNeeded());
    manager.setFlag(KtTManager::kRedraw, false);
    axis.pick(1, 1, 3, 3);
    EXPECT_FALSE(manager.redrawNeeded());
    axis.pick(20, 0, 3, 3);
    EXPECT_TRUE(manager.redrawNeeded());
}

// --- press, drag and release ------------------------------------------------------------------

TEST(AxisPress, WithNoPartAPressIsRefused) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    MessageLog log;
    attach(axis, log);
    EXPECT_EQ(axis.penDown(0, 0), 0);
    EXPECT_FALSE(axis.hasFlag(KtTObject::kPressed));
    EXPECT_TRUE(log.entries.empty());
}

TEST(AxisPress, GrabDragAndReleaseAreAnnounced) {
    KtTManager manager;
    KtT2DAxis axis("A rather long axis name", KtT2DAxis::kCentre);
    MessageLog log;
    attach(axis, log);
    manager.addObject(&axis);
    manager.handleEvent(penMessage(PenDown, 1, 1));
    manager.handleEvent(penMessage(PenMove, 2, 2));
    manager.handleEvent(penMessage(PenUp, 2, 2));
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0].type, AxisGrab);
    EXPECT_EQ(log.entries[0].kind, KindValue);
    EXPECT_EQ(log.entries[0].value, KtT2DAxis::kCentre);
    EXPECT_EQ(log.entries[0].name, "A rather long a");
    EXPECT_EQ(log.entries[1].type, AxisDrag);
    EXPECT_EQ(log.entries[1].value, 0);
    EXPECT_EQ(log.entries[2].type, AxisRelease);
    EXPECT_EQ(log.entries[2].value, KtT2DAxis::kCentre);
    EXPECT_FALSE(axis.hasFlag(KtTObject::kPressed));
    // After the release the fresh pick found the centre again and entered it.
    EXPECT_TRUE(axis.hasFlag(KtTObject::kHovered));
    EXPECT_EQ(axis.m_nPart, KtT2DAxis::kCentre);
    axis.leave();
    EXPECT_EQ(axis.m_nPart, 0);
}

TEST(AxisRotate, OneTurnCounterclockwiseAddsThreeHundredAndSixtyDegrees) {
    KtT2DAxis axis("axis", KtT2DAxis::kRotate);
    ASSERT_EQ(grab(axis, 32.0f, 0.0f), KtT2DAxis::kRotate);
    for (int step = 1; step <= 36; ++step) {
        const float a = static_cast<float>(step * 10) * kDegree;
        const float before = axis.m_fRotation;
        axis.drag(32.0f * std::cos(a), 32.0f * std::sin(a));
        // Crossing the negative x axis (atan2 jumps from pi to -pi) is one ordinary step.
        EXPECT_NEAR(axis.m_fRotation - before, 10.0f, 1e-3f) << "step " << step;
    }
    EXPECT_NEAR(axis.m_fRotation, 360.0f, 1e-2f);
    axis.drag(32.0f * std::cos(20 * kDegree), 32.0f * std::sin(20 * kDegree));
    EXPECT_NEAR(axis.m_fRotation, 380.0f, 1e-2f);  // never wrapped
}

TEST(AxisRotate, ClockwiseAcrossTheNegativeXAxisDoesNotJump) {
    KtT2DAxis axis("axis", KtT2DAxis::kRotate);
    ASSERT_EQ(grab(axis, 32.0f, 0.0f), KtT2DAxis::kRotate);
    axis.m_fGrabAngle = -175.0f * kDegree;
    axis.drag(32.0f * std::cos(175.0f * kDegree), 32.0f * std::sin(175.0f * kDegree));
    EXPECT_NEAR(axis.m_fRotation, -10.0f, 1e-3f);
}

struct ScaleCase {
    const char* what;
    std::int32_t parts;
    KtPoint press;
    KtPoint pen;
    float uniform;  // before the press
    std::int32_t sideFlags;
    float expectedUniform;
    float expectedScaleX;
    float expectedScaleY;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.what;
}

class AxisScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(AxisScale, EachStepFollowsThePenOnTheTakenSide) {
    const ScaleCase& c = GetParam();
    KtT2DAxis axis("axis", c.parts);
    axis.m_fUniformScale = c.uniform;
    ASSERT_EQ(grab(axis, c.press.x, c.press.y), c.parts) << c.what;
    EXPECT_EQ(axis.m_nSideFlags, c.sideFlags) << c.what;
    axis.drag(c.pen.x, c.pen.y);
    EXPECT_FLOAT_EQ(axis.m_fUniformScale, c.expectedUniform) << c.what;
    EXPECT_FLOAT_EQ(axis.m_fScaleX, c.expectedScaleX) << c.what;
    EXPECT_FLOAT_EQ(axis.m_fScaleY, c.expectedScaleY) << c.what;
}

constexpr std::int32_t kUniform = KtT2DAxis::kUniformScale;
constexpr std::int32_t kX = KtT2DAxis::kScaleX;
constexpr std::int32_t kY = KtT2DAxis::kScaleY;
constexpr std::int32_t kNegX = KtT2DAxis::kNegativeX;
constexpr std::int32_t kNegY = KtT2DAxis::kNegativeY;

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisScale,
    testing::Values(
        ScaleCase{"corner, x leads", kUniform, {37, 37}, {74, 50}, 1, 0, 2, 1, 1},
        ScaleCase{"corner, y leads", kUniform, {37, 37}, {50, 55.5f}, 1, 0, 1.5f, 1, 1},
        ScaleCase{"negative corner", kUniform, {-37, -37}, {-74, -60}, 1, kNegX | kNegY, 2, 1, 1},
        ScaleCase{"mixed corner", kUniform, {37, -37}, {40, -74}, 1, kNegY, 2, 1, 1},
        ScaleCase{"corner dragged across", kUniform, {37, 37}, {-74, -20}, 1, 0, -2, 1, 1},
        ScaleCase{"right edge", kX, {37, 5}, {55.5f, 30}, 1, 0, 1, 1.5f, 1},
        ScaleCase{"left edge", kX, {-37, 5}, {-55.5f, 30}, 1, kNegX, 1, 1.5f, 1},
        ScaleCase{"left edge, uniform 2", kX, {-74, 5}, {-111, 30}, 2, kNegX, 2, 1.5f, 1},
        ScaleCase{"top edge", kY, {5, 37}, {30, 74}, 1, 0, 1, 1, 2},
        ScaleCase{"bottom edge", kY, {5, -37}, {30, -18.5f}, 1, kNegY, 1, 1, 0.5f}));

TEST(AxisScale, TheStepWorksInTheFrameTurnedAtThePress) {
    KtT2DAxis axis("axis", KtT2DAxis::kScaleX);
    axis.m_fRotation = 90.0f;
    axis.setAxisFlag(KtT2DAxis::kMatrixDirty, true);
    ASSERT_EQ(grab(axis, 0.0f, 37.0f), KtT2DAxis::kScaleX);  // the edge now lies above
    axis.drag(3.0f, 74.0f);
    EXPECT_NEAR(axis.m_fScaleX, 2.0f, 1e-5f);
}

TEST(AxisScale, AScaleDraggedToZeroLeavesAnIdentityInverse) {
    KtT2DAxis axis("axis", KtT2DAxis::kScaleX);
    placeAt(axis, 10, 20);
    ASSERT_EQ(grab(axis, 47, 20), KtT2DAxis::kScaleX);
    axis.drag(10, 25);
    EXPECT_EQ(axis.m_fScaleX, 0.0f);
    KtPoint local;
    axis.toLocal(local, {5, 6});
    EXPECT_EQ(local.x, 5.0f);
    EXPECT_EQ(local.y, 6.0f);
}

struct AspectCase {
    float aspectBefore;
    KtPoint pen;
    float expected;
};

void PrintTo(const AspectCase& c, std::ostream* os) {
    *os << "aspect " << c.aspectBefore << ", pen at (" << c.pen.x << ", " << c.pen.y << ")";
}

class AxisAspect : public testing::TestWithParam<AspectCase> {};

TEST_P(AxisAspect, SqueezesOneAxisAndSaturatesInANegativeQuadrant) {
    const AspectCase& c = GetParam();
    KtT2DAxis axis("axis", KtT2DAxis::kAspect);
    ASSERT_EQ(grab(axis, 37.0f, 37.0f), KtT2DAxis::kAspect);  // the grip, (ax R, ay R)
    axis.m_fAspect = c.aspectBefore;
    axis.drag(c.pen.x, c.pen.y);
    EXPECT_FLOAT_EQ(axis.m_fAspect, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisAspect,
    testing::Values(AspectCase{0.0f, {37, 18.5f}, 0.5f}, AspectCase{0.0f, {18.5f, 37}, -0.5f},
                    AspectCase{0.0f, {20, 20}, 0.0f}, AspectCase{-0.3f, {-5, 10}, -1.0f},
                    AspectCase{0.3f, {5, -10}, 1.0f}, AspectCase{0.0f, {-5, -10}, 0.0f}));

TEST(AxisAspect, TheFactorsSqueezeOneAxisEach) {
    KtT2DAxis axis("axis", KtT2DAxis::kAspect);
    axis.m_fAspect = 0.25f;
    EXPECT_FLOAT_EQ(axis.aspectX(), 1.0f);
    EXPECT_FLOAT_EQ(axis.aspectY(), 0.75f);
    axis.m_fAspect = -3.0f;
    EXPECT_FLOAT_EQ(axis.aspectX(), 0.0f);
    EXPECT_FLOAT_EQ(axis.aspectY(), 1.0f);
}

TEST(AxisAspect, WithAScalePartTheGripSitsTenPixelsBeyondTheCorner) {
    KtT2DAxis axis("axis", KtT2DAxis::kAspect | KtT2DAxis::kUniformScale);
    const KtPoint h = axis.aspectHandle();
    EXPECT_NEAR(h.x, 37.0f + 10.0f / std::sqrt(2.0f), 1e-4f);
    EXPECT_NEAR(h.y, 37.0f + 10.0f / std::sqrt(2.0f), 1e-4f);
    axis.m_fUniformScale = 0.0f;
    EXPECT_EQ(axis.aspectHandle().x, 0.0f);
}

// --- extent and matrix ------------------------------------------------------------------------

struct ExtentCase {
    const char* what;
    std::int32_t parts;
    float pixelScale;
    bool showAll;
    KtExtent expected;  // relative to the centre (100, 50)
};

void PrintTo(const ExtentCase& c, std::ostream* os) {
    *os << c.what;
}

class AxisExtent : public testing::TestWithParam<ExtentCase> {};

TEST_P(AxisExtent, TakesInEveryEnabledPart) {
    const ExtentCase& c = GetParam();
    KtT2DAxis axis("axis", c.parts);
    axis.setAxisFlag(KtT2DAxis::kShowAll, c.showAll);
    axis.setScale(c.pixelScale);
    placeAt(axis, 100, 50);
    KtExtent e;
    axis.computeExtent(e);
    EXPECT_NEAR(e.xMin, 100 + c.expected.xMin, 1e-3f) << c.what;
    EXPECT_NEAR(e.xMax, 100 + c.expected.xMax, 1e-3f) << c.what;
    EXPECT_NEAR(e.yMin, 50 + c.expected.yMin, 1e-3f) << c.what;
    EXPECT_NEAR(e.yMax, 50 + c.expected.yMax, 1e-3f) << c.what;
    EXPECT_NEAR(axis.m_Bounds.x, 100 + c.expected.xMin, 1e-3f) << c.what;
    EXPECT_NEAR(axis.m_Bounds.w, c.expected.xMax - c.expected.xMin, 1e-3f) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisExtent,
    testing::Values(ExtentCase{"no parts", 0, 1, false, {0, 0, 0, 0}},
                    ExtentCase{"move x", 1, 1, false, {-37, 37, -3, 3}},
                    ExtentCase{"move y", 2, 1, false, {-3, 3, -37, 37}},
                    ExtentCase{"both moves", 3, 1, false, {-37, 37, -37, 37}},
                    ExtentCase{"both moves, scale 2", 3, 2, false, {-74, 74, -74, 74}},
                    ExtentCase{"rotate", 32, 1, false, {-32, 32, -32, 32}},
                    ExtentCase{"aspect", 64, 1, false, {40, 40, 40, 40}},
                    ExtentCase{"show all", 0, 1, true, {-37, 37, -37, 37}},
                    ExtentCase{"show all leaves out aspect", 64, 1, true, {-37, 37, -37, 37}}));

TEST(AxisExtent, ScaleCornersTurnWithTheRotation) {
    KtT2DAxis axis("axis", KtT2DAxis::kUniformScale);
    axis.m_fUniformScale = 2.0f;
    axis.m_fScaleY = 0.5f;
    axis.m_fRotation = 90.0f;
    KtExtent e;
    axis.computeExtent(e);
    EXPECT_NEAR(e.xMin, -37.0f, 1e-3f);
    EXPECT_NEAR(e.xMax, 37.0f, 1e-3f);
    EXPECT_NEAR(e.yMin, -74.0f, 1e-3f);
    EXPECT_NEAR(e.yMax, 74.0f, 1e-3f);
}

TEST(AxisMatrix, MapsLocalUnitsToTheParentsAndIsRebuiltOnDemand) {
    KtT2DAxis axis("axis", KtT2DAxis::kCentre);
    axis.m_fScaleX = 2.0f;
    axis.m_fRotation = 90.0f;
    placeAt(axis, 10, 20);
    KtPoint local;
    axis.toLocal(local, {10, 22});
    EXPECT_NEAR(local.x, 1.0f, 1e-5f);
    EXPECT_NEAR(local.y, 0.0f, 1e-5f);
    axis.m_fRotation = 0.0f;  // not marked out of date: the old matrix stays
    axis.toLocal(local, {10, 22});
    EXPECT_NEAR(local.x, 1.0f, 1e-5f);
    axis.setAxisFlag(KtT2DAxis::kMatrixDirty, true);
    axis.toLocal(local, {12, 22});
    EXPECT_NEAR(local.x, 1.0f, 1e-5f);
    EXPECT_NEAR(local.y, 2.0f, 1e-5f);
}

// --- the group --------------------------------------------------------------------------------

TEST(AxisGroup, PicksChildrenInItsOwnUnitsWithScaledTolerance) {
    KtTManager manager;
    KtT2DAxisGroup group("group", KtT2DAxis::kCentre);
    group.m_fUniformScale = 2.0f;
    placeAt(group, 100, 100);
    test::Probe child("child", {10, 0, 5, 5});
    ASSERT_EQ(group.add(&child), 1);
    EXPECT_EQ(group.add(&child), 0);
    manager.addObject(&group);
    EXPECT_EQ(child.m_pManager, &manager);
    EXPECT_EQ(child.m_pParent, nullptr);

    // Local (9, 1) is 1 unit left of the child; the tolerance of 3 becomes 1.5 locally.
    EXPECT_EQ(group.pick(118, 102, 3, 3), &child);
    EXPECT_EQ(group.m_pActive, &child);
    EXPECT_FLOAT_EQ(child.lastPick.x, 9.0f);
    EXPECT_FLOAT_EQ(child.lastPick.y, 1.0f);
    // Local (8, 1) is 2 units left: missed, and the own widget's arm answers instead.
    EXPECT_EQ(group.pick(116, 102, 3, 3), &group);
    EXPECT_EQ(group.m_nPart, KtT2DAxis::kMoveX);

    group.m_bOwnWidgetShown = false;
    EXPECT_EQ(group.pick(100, 100, 3, 3), nullptr);
    EXPECT_EQ(group.remove(&child), 1);
    EXPECT_EQ(child.m_pManager, nullptr);
    EXPECT_EQ(group.remove(&child), 0);
}

TEST(AxisGroup, RoutesPenEventsToChildrenInLocalUnits) {
    KtTManager manager;
    KtT2DAxisGroup group("group", KtT2DAxis::kCentre);
    group.m_bAddToSecondList = true;
    placeAt(group, 100, 100);
    test::Probe child("child", {10, 10, 10, 10});
    group.add(&child);
    manager.addObject(&group);
    manager.handleEvent(penMessage(PenDown, 115, 112));
    EXPECT_EQ(manager.m_pHit, &child);
    EXPECT_EQ(child.count("penDown"), 1);
    EXPECT_FLOAT_EQ(child.lastPoint.x, 15.0f);
    EXPECT_FLOAT_EQ(child.lastPoint.y, 12.0f);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    EXPECT_EQ(group.m_SecondList.m_pCurrent, &child);
}

TEST(AxisGroup, TheExtentTakesInTheChildrenThroughTheMatrix) {
    KtT2DAxisGroup group("group", KtT2DAxis::kCentre);
    placeAt(group, 100, 100);
    test::Probe child("child", {0, 0, 50, 20});
    group.add(&child);
    EXPECT_FLOAT_EQ(group.m_Bounds.x, 63.0f);
    EXPECT_FLOAT_EQ(group.m_Bounds.w, 150.0f - 63.0f);
    EXPECT_FLOAT_EQ(group.m_Bounds.h, 74.0f);

    child.setFlag(KtTObject::kBounded, false);
    group.childChanged(&child);
    EXPECT_FALSE(group.hasFlag(KtTObject::kBounded));
    EXPECT_FLOAT_EQ(group.m_Bounds.w, 74.0f);  // the widget alone
    group.remove(&child);
    EXPECT_TRUE(group.hasFlag(KtTObject::kBounded));
}

TEST(AxisGroup, EitherTheGroupOrItsChildMayGoFirst) {
    KtTManager manager;
    auto group = std::make_unique<KtT2DAxisGroup>("group", KtT2DAxis::kCentre);
    manager.addObject(group.get());
    auto child = std::make_unique<test::Probe>("child", KtRect{0, 0, 5, 5});
    group->add(child.get());
    child.reset();
    EXPECT_TRUE(group->m_FirstList.m_Children.empty());
    test::Probe survivor("survivor", {0, 0, 5, 5});
    group->m_bAddToSecondList = true;
    group->add(&survivor);
    group.reset();
    EXPECT_EQ(survivor.m_pManager, nullptr);
    EXPECT_EQ(survivor.m_pHolder, nullptr);
    EXPECT_TRUE(manager.m_Children.empty());
}

TEST(AxisGroup, SetActiveMakesTheTargetCurrentInItsList) {
    KtT2DAxisGroup group("group", KtT2DAxis::kCentre);
    test::Probe first("first");
    test::Probe second("second");
    group.add(&first);
    group.m_bAddToSecondList = true;
    group.add(&second);
    group.setActive(&second);
    EXPECT_EQ(group.m_SecondList.m_pCurrent, &second);
    EXPECT_EQ(group.m_FirstList.m_pCurrent, nullptr);
    EXPECT_EQ(group.m_pActive, &second);
    group.setActive(nullptr);
    EXPECT_EQ(group.m_pActive, &group);
    group.remove(&first);
    group.remove(&second);
}

}  // namespace
}  // namespace pattix
