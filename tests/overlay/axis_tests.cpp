#include "plugin/overlay/axis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

constexpr float kDegree = 3.14159265f / 180.0f;
constexpr std::int32_t kCentre = KtT2DAxis::kCentre;
constexpr std::int32_t kMoveX = KtT2DAxis::kMoveX;
constexpr std::int32_t kMoveY = KtT2DAxis::kMoveY;
constexpr std::int32_t kRotate = KtT2DAxis::kRotate;
constexpr std::int32_t kUniform = KtT2DAxis::kUniformScale;
constexpr std::int32_t kScaleX = KtT2DAxis::kScaleX;
constexpr std::int32_t kScaleY = KtT2DAxis::kScaleY;
constexpr std::int32_t kAspect = KtT2DAxis::kAspect;
constexpr std::int32_t kNegX = KtT2DAxis::kNegativeX;
constexpr std::int32_t kNegY = KtT2DAxis::kNegativeY;

void placeAt(KtT2DAxis& axis, float x, float y) {
    axis.m_Centre = {x, y};
    axis.setAxisFlag(KtT2DAxis::kMatrixDirty, true);
    axis.updateBounds();
}

// Presses on (x, y) as the manager would: pick, then penDown. Answers the part taken.
std::int32_t grab(KtT2DAxis& axis, float x, float y, float tol = 3.0f) {
    if (axis.pick(x, y, tol, tol) == nullptr) return 0;
    axis.penDown(x, y);
    return axis.m_nPart;
}

struct MessageLog : KtMessageHandler {
    struct Entry {
        std::int32_t type, kind, value;
        std::string name;
    };
    void handleMessage(const KtMessage& message, KtMessageSender*) override {
        entries.push_back(
            {message.m_nType, message.m_nKind, message.m_Payload.value, message.m_szName});
    }
    std::vector<Entry> entries;
};

// --- hit test ---------------------------------------------------------------------------------

// The horizontal arm reaches 37 x s from the centre and less than the y tolerance off it, and
// moves only x; the vertical arm likewise moves only y. Past the centre's slack (|d| = 3 + tol
// is not less) the arms take over; beyond the tip nothing is hit.
TEST(AxisHitTest, AnArmTakesItsOwnMoveAndMovesItsCoordinateOnly) {
    struct Case {
        float pixelScale, dx, dy;
        std::int32_t part;
    };
    for (const Case c :
         {Case{1, 35, 2, kMoveX}, Case{1, -35, -2, kMoveX}, Case{2, 35, 1, kMoveX},
          Case{1, 2, 35, kMoveY}, Case{2, -1, -35, kMoveY}, Case{1, 6, 0, kMoveX}, Case{1, 6, 6, 0},
          Case{1, 39.5f, 0, kMoveX}, Case{1, 40.5f, 0, 0}, Case{1, 10, 3, 0}}) {
        KtT2DAxis axis("axis", kCentre);
        axis.setScale(c.pixelScale);
        placeAt(axis, 50, 60);
        axis.m_pActive = &axis;
        const float x = 50 + c.dx * c.pixelScale;
        const float y = 60 + c.dy * c.pixelScale;
        ASSERT_EQ(grab(axis, x, y), c.part) << c.pixelScale << ": " << c.dx << ", " << c.dy;
        if (c.part == 0) {
            EXPECT_EQ(axis.m_pActive, nullptr);
            continue;
        }
        axis.drag(x + 5, y + 7);
        EXPECT_FLOAT_EQ(axis.m_Centre.x, c.part == kMoveX ? 55.0f : 50.0f);
        EXPECT_FLOAT_EQ(axis.m_Centre.y, c.part == kMoveY ? 67.0f : 60.0f);
    }
}

TEST(AxisHitTest, TheRotationGripSpansFortyFiveDegreesEitherSideOfTheLocalXAxis) {
    struct Case {
        float rotation, penAngle;  // degrees; the pen's from the parent's x axis
        bool takesRotation;
    };
    for (const Case c :
         {Case{0, 45, true}, Case{0, 50, false}, Case{0, -44, true}, Case{0, -50, false},
          Case{30, 74, true}, Case{30, 80, false}, Case{30, -14, true}, Case{30, -20, false}}) {
        KtT2DAxis axis("axis", kRotate);
        axis.m_fRotation = c.rotation;
        const float a = c.penAngle * kDegree;
        // Exactly on the diagonal for 45 degrees, where cos and sin round differently.
        const float x = c.penAngle == 45.0f ? 22.627417f : 32.0f * std::cos(a);
        const float y = c.penAngle == 45.0f ? 22.627417f : 32.0f * std::sin(a);
        EXPECT_EQ(axis.pick(x, y, 2.0f, 2.0f) != nullptr, c.takesRotation)
            << c.rotation << " " << c.penAngle;
        EXPECT_EQ(axis.m_nPart, c.takesRotation ? kRotate : 0);
    }
}

TEST(AxisHitTest, ALockedWidgetIsNeverHit) {
    KtT2DAxis axis("axis", kCentre | kRotate);
    axis.setAxisFlag(KtT2DAxis::kLocked, true);
    EXPECT_EQ(axis.pick(0, 0, 3, 3), nullptr);
    EXPECT_EQ(axis.pick(32, 0, 3, 3), nullptr);
    EXPECT_EQ(axis.m_nPart, 0);
}

TEST(AxisHitTest, AHitAsksForARedrawOnlyWhenThePartChanges) {
    KtTManager manager;
    KtT2DAxis axis("axis", kCentre);
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

// Within 3 + tolerance (3) of the centre in both axes a press takes both moves; grab, drag and
// release are announced with the part and the name cut to 15 characters.
TEST(AxisPress, AGrabNearTheCentreMovesBothCoordinatesAndIsAnnounced) {
    KtTManager manager;
    KtT2DAxis axis("A rather long axis name", kCentre);
    placeAt(axis, 100, 100);
    MessageLog log;
    attach(axis, log);
    EXPECT_EQ(axis.penDown(100, 100), 0);  // with no part picked a press is refused
    EXPECT_FALSE(axis.hasFlag(KtTObject::kPressed));
    EXPECT_TRUE(log.entries.empty());

    manager.addObject(&axis);
    test::press(manager, 105.5f, 94.5f);
    EXPECT_EQ(axis.m_nPart, kCentre);
    EXPECT_EQ(manager.m_pHit, &axis);
    test::move(manager, 115.5f, 104.5f);
    EXPECT_FLOAT_EQ(axis.m_Centre.x, 110.0f);
    EXPECT_FLOAT_EQ(axis.m_Centre.y, 110.0f);
    EXPECT_FLOAT_EQ(axis.m_Bounds.x, 110.0f - 37.0f);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    test::release(manager, 115.5f, 104.5f);
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0].type, AxisGrab);
    EXPECT_EQ(log.entries[0].kind, KindValue);
    EXPECT_EQ(log.entries[0].value, kCentre);
    EXPECT_EQ(log.entries[0].name, "A rather long a");
    EXPECT_EQ(log.entries[1].type, AxisDrag);
    EXPECT_EQ(log.entries[1].value, 0);
    EXPECT_EQ(log.entries[2].type, AxisRelease);
    EXPECT_EQ(log.entries[2].value, kCentre);
    EXPECT_FALSE(axis.hasFlag(KtTObject::kPressed));
    // After the release the fresh pick found the centre again and entered it.
    EXPECT_TRUE(axis.hasFlag(KtTObject::kHovered));
    EXPECT_EQ(axis.m_nPart, kCentre);
    axis.leave();
    EXPECT_EQ(axis.m_nPart, 0);
}

// atan2 jumps from pi to -pi across the negative x axis; a rotation must take that as one
// ordinary step either way round, and never wrap.
TEST(AxisRotate, TurnsFollowThePenAcrossTheNegativeXAxisWithoutJumps) {
    KtT2DAxis axis("axis", kRotate);
    ASSERT_EQ(grab(axis, 32.0f, 0.0f), kRotate);
    for (int step = 1; step <= 36; ++step) {
        const float a = static_cast<float>(step * 10) * kDegree;
        const float before = axis.m_fRotation;
        axis.drag(32.0f * std::cos(a), 32.0f * std::sin(a));
        EXPECT_NEAR(axis.m_fRotation - before, 10.0f, 1e-3f) << "step " << step;
    }
    axis.drag(32.0f * std::cos(20 * kDegree), 32.0f * std::sin(20 * kDegree));
    EXPECT_NEAR(axis.m_fRotation, 380.0f, 1e-2f);

    KtT2DAxis clockwise("axis", kRotate);
    ASSERT_EQ(grab(clockwise, 32.0f, 0.0f), kRotate);
    clockwise.m_fGrabAngle = -175.0f * kDegree;
    clockwise.drag(32.0f * std::cos(175.0f * kDegree), 32.0f * std::sin(175.0f * kDegree));
    EXPECT_NEAR(clockwise.m_fRotation, -10.0f, 1e-3f);
}

TEST(AxisScale, EachStepFollowsThePenOnTheTakenSide) {
    struct Case {
        const char* what;
        std::int32_t parts;
        KtPoint press, pen;
        float uniform;  // before the press
        std::int32_t sideFlags;
        float expectedUniform, expectedScaleX, expectedScaleY;
    };
    const Case cases[] = {
        {"corner, x leads", kUniform, {37, 37}, {74, 50}, 1, 0, 2, 1, 1},
        {"corner, y leads", kUniform, {37, 37}, {50, 55.5f}, 1, 0, 1.5f, 1, 1},
        {"negative corner", kUniform, {-37, -37}, {-74, -60}, 1, kNegX | kNegY, 2, 1, 1},
        {"mixed corner", kUniform, {37, -37}, {40, -74}, 1, kNegY, 2, 1, 1},
        {"corner dragged across", kUniform, {37, 37}, {-74, -20}, 1, 0, -2, 1, 1},
        {"right edge", kScaleX, {37, 5}, {55.5f, 30}, 1, 0, 1, 1.5f, 1},
        {"left edge", kScaleX, {-37, 5}, {-55.5f, 30}, 1, kNegX, 1, 1.5f, 1},
        {"left edge, uniform 2", kScaleX, {-74, 5}, {-111, 30}, 2, kNegX, 2, 1.5f, 1},
        {"top edge", kScaleY, {5, 37}, {30, 74}, 1, 0, 1, 1, 2},
        {"bottom edge", kScaleY, {5, -37}, {30, -18.5f}, 1, kNegY, 1, 1, 0.5f}};
    for (const Case& c : cases) {
        KtT2DAxis axis("axis", c.parts);
        axis.m_fUniformScale = c.uniform;
        ASSERT_EQ(grab(axis, c.press.x, c.press.y), c.parts) << c.what;
        EXPECT_EQ(axis.m_nSideFlags, c.sideFlags) << c.what;
        axis.drag(c.pen.x, c.pen.y);
        EXPECT_FLOAT_EQ(axis.m_fUniformScale, c.expectedUniform) << c.what;
        EXPECT_FLOAT_EQ(axis.m_fScaleX, c.expectedScaleX) << c.what;
        EXPECT_FLOAT_EQ(axis.m_fScaleY, c.expectedScaleY) << c.what;
    }
}

TEST(AxisScale, TheStepWorksInTheFrameTurnedAtThePress) {
    KtT2DAxis axis("axis", kScaleX);
    axis.m_fRotation = 90.0f;
    axis.setAxisFlag(KtT2DAxis::kMatrixDirty, true);
    ASSERT_EQ(grab(axis, 0.0f, 37.0f), kScaleX);  // the edge now lies above
    axis.drag(3.0f, 74.0f);
    EXPECT_NEAR(axis.m_fScaleX, 2.0f, 1e-5f);
}

TEST(AxisScale, AScaleDraggedToZeroLeavesAnIdentityInverse) {
    KtT2DAxis axis("axis", kScaleX);
    placeAt(axis, 10, 20);
    ASSERT_EQ(grab(axis, 47, 20), kScaleX);
    axis.drag(10, 25);
    EXPECT_EQ(axis.m_fScaleX, 0.0f);
    KtPoint local;
    axis.toLocal(local, {5, 6});
    EXPECT_EQ(local.x, 5.0f);
    EXPECT_EQ(local.y, 6.0f);
}

// The grip sits at (37, 37); dragging it squeezes one axis, and saturates at -1 or 1 when the
// pen crosses into the quadrant that has one coordinate negative.
TEST(AxisAspect, SqueezesOneAxisAndSaturatesInANegativeQuadrant) {
    struct Case {
        float aspectBefore;
        KtPoint pen;
        float expected;
    };
    for (const Case c :
         {Case{0, {37, 18.5f}, 0.5f}, Case{0, {18.5f, 37}, -0.5f}, Case{0, {20, 20}, 0},
          Case{-0.3f, {-5, 10}, -1}, Case{0.3f, {5, -10}, 1}, Case{0, {-5, -10}, 0}}) {
        KtT2DAxis axis("axis", kAspect);
        ASSERT_EQ(grab(axis, 37.0f, 37.0f), kAspect);
        axis.m_fAspect = c.aspectBefore;
        axis.drag(c.pen.x, c.pen.y);
        EXPECT_FLOAT_EQ(axis.m_fAspect, c.expected) << c.pen.x << ", " << c.pen.y;
    }
    KtT2DAxis axis("axis", kAspect);
    axis.m_fAspect = 0.25f;
    EXPECT_FLOAT_EQ(axis.aspectX(), 1.0f);
    EXPECT_FLOAT_EQ(axis.aspectY(), 0.75f);
    axis.m_fAspect = -3.0f;
    EXPECT_FLOAT_EQ(axis.aspectX(), 0.0f);
    EXPECT_FLOAT_EQ(axis.aspectY(), 1.0f);
}

TEST(AxisAspect, WithAScalePartTheGripSitsTenPixelsBeyondTheCorner) {
    KtT2DAxis axis("axis", kAspect | kUniform);
    const KtPoint h = axis.aspectHandle();
    EXPECT_NEAR(h.x, 37.0f + 10.0f / std::sqrt(2.0f), 1e-4f);
    EXPECT_NEAR(h.y, 37.0f + 10.0f / std::sqrt(2.0f), 1e-4f);
    axis.m_fUniformScale = 0.0f;
    EXPECT_EQ(axis.aspectHandle().x, 0.0f);
}

// --- extent and matrix ------------------------------------------------------------------------

TEST(AxisExtent, TakesInEveryEnabledPart) {
    struct Case {
        const char* what;
        std::int32_t parts;
        float pixelScale;
        bool showAll;
        KtExtent expected;  // relative to the centre (100, 50)
        float uniform = 1.0f, scaleY = 1.0f, rotation = 0.0f;
    };
    const Case cases[] = {{"no parts", 0, 1, false, {0, 0, 0, 0}},
                          {"move x", kMoveX, 1, false, {-37, 37, -3, 3}},
                          {"move y", kMoveY, 1, false, {-3, 3, -37, 37}},
                          {"both moves", kCentre, 1, false, {-37, 37, -37, 37}},
                          {"both moves, scale 2", kCentre, 2, false, {-74, 74, -74, 74}},
                          {"rotate", kRotate, 1, false, {-32, 32, -32, 32}},
                          {"aspect", kAspect, 1, false, {40, 40, 40, 40}},
                          {"show all", 0, 1, true, {-37, 37, -37, 37}},
                          {"show all leaves out aspect", kAspect, 1, true, {-37, 37, -37, 37}},
                          {"scale corners turn with the rotation",
                           kUniform,
                           1,
                           false,
                           {-37, 37, -74, 74},
                           2,
                           0.5f,
                           90}};
    for (const Case& c : cases) {
        KtT2DAxis axis("axis", c.parts);
        axis.setAxisFlag(KtT2DAxis::kShowAll, c.showAll);
        axis.setScale(c.pixelScale);
        axis.m_fUniformScale = c.uniform;
        axis.m_fScaleY = c.scaleY;
        axis.m_fRotation = c.rotation;
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
}

TEST(AxisMatrix, MapsLocalUnitsToTheParentsAndIsRebuiltOnDemand) {
    KtT2DAxis axis("axis", kCentre);
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
    KtT2DAxisGroup group("group", kCentre);
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
    EXPECT_EQ(group.m_nPart, kMoveX);

    group.m_bOwnWidgetShown = false;
    EXPECT_EQ(group.pick(100, 100, 3, 3), nullptr);
    EXPECT_EQ(group.remove(&child), 1);
    EXPECT_EQ(child.m_pManager, nullptr);
    EXPECT_EQ(group.remove(&child), 0);
}

// A press goes to the child in the group's local units and makes it current in its list, as
// setActive does; with no target the group itself is active.
TEST(AxisGroup, RoutesPenEventsToChildrenInLocalUnits) {
    KtTManager manager;
    KtT2DAxisGroup group("group", kCentre);
    placeAt(group, 100, 100);
    test::Probe first("first", {-10, -10, 5, 5});
    group.add(&first);
    group.m_bAddToSecondList = true;
    test::Probe child("child", {10, 10, 10, 10});
    group.add(&child);
    manager.addObject(&group);
    test::press(manager, 115, 112);
    EXPECT_EQ(manager.m_pHit, &child);
    EXPECT_EQ(child.count("penDown"), 1);
    EXPECT_FLOAT_EQ(child.lastPoint.x, 15.0f);
    EXPECT_FLOAT_EQ(child.lastPoint.y, 12.0f);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    EXPECT_EQ(group.m_SecondList.m_pCurrent, &child);
    EXPECT_EQ(group.m_FirstList.m_pCurrent, nullptr);
    EXPECT_EQ(group.m_pActive, &child);
    group.setActive(&first);
    EXPECT_EQ(group.m_FirstList.m_pCurrent, &first);
    EXPECT_EQ(group.m_pActive, &first);
    group.setActive(nullptr);
    EXPECT_EQ(group.m_pActive, &group);
}

TEST(AxisGroup, TheExtentTakesInTheChildrenThroughTheMatrix) {
    KtT2DAxisGroup group("group", kCentre);
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
    auto group = std::make_unique<KtT2DAxisGroup>("group", kCentre);
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

}  // namespace
}  // namespace pattix
