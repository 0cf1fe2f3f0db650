#include "plugin/overlay/axis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

using Axis = KtT2DAxis;
constexpr std::int32_t kCentre = Axis::kCentre, kMoveX = Axis::kMoveX, kMoveY = Axis::kMoveY,
                       kRotate = Axis::kRotate, kUniform = Axis::kUniformScale,
                       kScaleX = Axis::kScaleX, kScaleY = Axis::kScaleY, kAspect = Axis::kAspect,
                       kNegX = Axis::kNegativeX, kNegY = Axis::kNegativeY;

// A point on the rotation grip's circle, `degrees` from the parent's x axis.
KtPoint onGrip(float degrees) {
    const float a = degrees * 3.14159265f / 180.0f;
    return {32.0f * std::cos(a), 32.0f * std::sin(a)};
}

void placeAt(Axis& axis, float x, float y) {
    axis.m_Centre = {x, y};
    axis.setAxisFlag(Axis::kMatrixDirty, true);
    axis.updateBounds();
}

// The axis's state by letter: centre x and y, rotation, uniform scale, scale X and Y, aspect,
// and pixel scale (s); 'c' stands for both coordinates of the centre.
float& field(Axis& axis, char name) {
    float* const fields[] = {&axis.m_Centre.x,      &axis.m_Centre.y, &axis.m_fRotation,
                             &axis.m_fUniformScale, &axis.m_fScaleX,  &axis.m_fScaleY,
                             &axis.m_fAspect,       &axis.m_fScale};
    return *fields[std::string_view("xyruXYas").find(name)];
}

struct Setting {
    char name = 's';
    float value = 1;
};

// An axis at the origin, with one setting changed, is pressed where the pen is (tolerance 3)
// and, when a part is taken, dragged once; the drag changes one setting and no other. Arms
// reach 37 x s and take their own move; the centre takes both within 3 + 3; the rotation grip
// spans 45 degrees either side of the local x axis; scale edges and corners and the aspect grip
// follow the pen on the side they were taken.
TEST(Axis, APressTakesThePartUnderThePenAndADragChangesOnlyIt) {
    struct Row {
        const char* what;
        std::int32_t parts;
        Setting before;
        KtPoint press;
        std::int32_t part, sides = 0;
        KtPoint to{};
        Setting after{};
    };
    const KtPoint diagonal{22.627417f, 22.627417f}, grip{44.07f, 44.07f};
    const Row rows[] = {
        {"x arm", kCentre, {}, {35, 2}, kMoveX, 0, {40, 9}, {'x', 5}},
        {"x arm, left", kCentre, {}, {-35, -2}, kMoveX, 0, {-30, 5}, {'x', 5}},
        {"x arm, s = 2", kCentre, {'s', 2}, {70, 2}, kMoveX, 0, {75, 9}, {'x', 5}},
        {"y arm", kCentre, {}, {2, 35}, kMoveY, 0, {7, 40}, {'y', 5}},
        {"y arm, s = 2", kCentre, {'s', 2}, {-2, -70}, kMoveY, 0, {3, -65}, {'y', 5}},
        {"centre", kCentre, {}, {5.5f, -5.5f}, kCentre, 0, {10.5f, -0.5f}, {'c', 5}},
        {"centre slack ends", kCentre, {}, {6, 0}, kMoveX, 0, {11, 5}, {'x', 5}},
        {"x tip", kCentre, {}, {39.5f, 0}, kMoveX, 0, {44.5f, 0}, {'x', 5}},
        {"past the x tip", kCentre, {}, {40.5f, 0}, 0},
        {"between the arms", kCentre, {}, {6, 6}, 0},
        {"beside the x arm", kCentre, {}, {10, 3}, 0},
        {"grip at 45", kRotate, {}, diagonal, kRotate, 0, onGrip(90), {'r', 45}},
        {"grip at -44", kRotate, {}, onGrip(-44), kRotate, 0, onGrip(-54), {'r', -10}},
        {"past the grip", kRotate, {}, onGrip(50), 0},
        {"below the grip", kRotate, {}, onGrip(-50), 0},
        {"turned grip", kRotate, {'r', 30}, onGrip(74), kRotate, 0, onGrip(64), {'r', 20}},
        {"past the turned grip", kRotate, {'r', 30}, onGrip(-20), 0},
        // atan2 jumps by a full turn across the negative x axis; the rotation never wraps.
        {"across -x", kRotate, {'r', 150}, onGrip(175), kRotate, 0, onGrip(185), {'r', 160}},
        {"back across", kRotate, {'r', 180}, onGrip(185), kRotate, 0, onGrip(175), {'r', 170}},
        {"past a turn", kRotate, {'r', 350}, onGrip(-10), kRotate, 0, onGrip(10), {'r', 370}},
        {"corner, x leads", kUniform, {}, {37, 37}, kUniform, 0, {74, 50}, {'u', 2}},
        {"corner, y leads", kUniform, {}, {37, 37}, kUniform, 0, {50, 55.5f}, {'u', 1.5f}},
        {"lower left", kUniform, {}, {-37, -37}, kUniform, kNegX | kNegY, {-74, -60}, {'u', 2}},
        {"lower right", kUniform, {}, {37, -37}, kUniform, kNegY, {40, -74}, {'u', 2}},
        {"dragged across", kUniform, {}, {37, 37}, kUniform, 0, {-74, -20}, {'u', -2}},
        {"right edge", kScaleX, {}, {37, 5}, kScaleX, 0, {55.5f, 30}, {'X', 1.5f}},
        {"left edge", kScaleX, {}, {-37, 5}, kScaleX, kNegX, {-55.5f, 30}, {'X', 1.5f}},
        {"left, uniform 2", kScaleX, {'u', 2}, {-74, 5}, kScaleX, kNegX, {-111, 30}, {'X', 1.5f}},
        {"top edge", kScaleY, {}, {5, 37}, kScaleY, 0, {30, 74}, {'Y', 2}},
        {"bottom edge", kScaleY, {}, {5, -37}, kScaleY, kNegY, {30, -18.5f}, {'Y', 0.5f}},
        {"edge upright", kScaleX, {'r', 90}, {0, 37}, kScaleX, 0, {3, 74}, {'X', 2}},
        {"aspect squeezes y", kAspect, {}, {37, 37}, kAspect, 0, {37, 18.5f}, {'a', 0.5f}},
        {"aspect squeezes x", kAspect, {}, {37, 37}, kAspect, 0, {18.5f, 37}, {'a', -0.5f}},
        {"aspect to -1", kAspect, {'a', -0.3f}, {25.9f, 37}, kAspect, 0, {-5, 10}, {'a', -1}},
        {"aspect to 1", kAspect, {'a', 0.3f}, {37, 25.9f}, kAspect, 0, {5, -10}, {'a', 1}},
        // With a scale part the grip sits 10 pixels beyond the corner.
        {"grip +10", kAspect | kUniform, {}, grip, kAspect, 0, {44.07f, 22.035f}, {'a', 0.5f}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Axis axis("axis", r.parts);
        field(axis, r.before.name) = r.before.value;
        axis.m_pActive = &axis;
        const bool hit = axis.pick(r.press.x, r.press.y, 3, 3) != nullptr;
        ASSERT_EQ(axis.m_nPart, r.part);
        ASSERT_EQ(hit, r.part != 0);
        if (!hit) {
            EXPECT_EQ(axis.m_pActive, nullptr);
            continue;
        }
        axis.penDown(r.press.x, r.press.y);
        EXPECT_EQ(axis.m_nSideFlags, r.sides);
        axis.drag(r.to.x, r.to.y);
        Axis expected("expected", r.parts);
        field(expected, r.before.name) = r.before.value;
        for (char name : r.after.name == 'c' ? std::string("xy") : std::string(1, r.after.name))
            field(expected, name) = r.after.value;
        for (char name : std::string("xyruXYa"))
            EXPECT_NEAR(field(axis, name), field(expected, name), 1e-2f) << name;
    }
    Axis locked("axis", kCentre | kRotate);
    locked.setAxisFlag(Axis::kLocked, true);
    EXPECT_EQ(locked.pick(0, 0, 3, 3), nullptr);
    EXPECT_EQ(locked.pick(32, 0, 3, 3), nullptr);
}

// Through the manager: a hit asks for a redraw only when the part changes; grab, drag and
// release are announced with the part and the name cut to 15 characters.
TEST(Axis, AGrabThroughTheManagerIsAnnouncedAndMovesTheBounds) {
    struct Log : KtMessageHandler {
        void handleMessage(const KtMessage& m, KtMessageSender*) override {
            entries.push_back(std::to_string(m.m_nType) + " " + std::to_string(m.m_nKind) + " " +
                              std::to_string(m.m_Payload.value) + " " + m.m_szName);
        }
        std::vector<std::string> entries;
    } log;
    KtTManager manager;
    Axis axis("A rather long axis name", kCentre);
    placeAt(axis, 100, 100);
    attach(axis, log);
    EXPECT_EQ(axis.penDown(100, 100), 0);  // with no part picked a press is refused
    manager.addObject(&axis);
    manager.setFlag(KtTManager::kRedraw, false);
    axis.pick(100, 100, 3, 3);
    EXPECT_TRUE(manager.redrawNeeded());
    manager.setFlag(KtTManager::kRedraw, false);
    axis.pick(101, 101, 3, 3);
    EXPECT_FALSE(manager.redrawNeeded());
    axis.pick(120, 100, 3, 3);  // the x arm now
    EXPECT_TRUE(manager.redrawNeeded());

    test::press(manager, 105.5f, 94.5f);
    test::move(manager, 115.5f, 104.5f);
    EXPECT_FLOAT_EQ(axis.m_Bounds.x, 110.0f - 37.0f);
    EXPECT_FLOAT_EQ(axis.m_Bounds.y, 110.0f - 37.0f);
    test::release(manager, 115.5f, 104.5f);
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"200 1 3 A rather long a", "201 1 0 A rather long a",
                                        "202 1 3 A rather long a"}));
}

TEST(Axis, TheExtentTakesInEveryEnabledPart) {
    struct Row {
        const char* what;
        std::int32_t parts;
        float pixelScale;
        bool showAll;
        KtExtent expected;  // relative to the centre (100, 50)
        float uniform = 1.0f, scaleY = 1.0f, rotation = 0.0f;
    };
    const Row rows[] = {
        {"no parts", 0, 1, false, {0, 0, 0, 0}},
        {"move x", kMoveX, 1, false, {-37, 37, -3, 3}},
        {"move y", kMoveY, 1, false, {-3, 3, -37, 37}},
        {"both moves, s = 2", kCentre, 2, false, {-74, 74, -74, 74}},
        {"rotate", kRotate, 1, false, {-32, 32, -32, 32}},
        {"aspect", kAspect, 1, false, {40, 40, 40, 40}},
        {"show all leaves out aspect", kAspect, 1, true, {-37, 37, -37, 37}},
        {"scale corners turn", kUniform, 1, false, {-37, 37, -74, 74}, 2, 0.5f, 90},
    };
    for (const Row& r : rows) {
        Axis axis("axis", r.parts);
        axis.setAxisFlag(Axis::kShowAll, r.showAll);
        axis.setScale(r.pixelScale);
        axis.m_fUniformScale = r.uniform;
        axis.m_fScaleY = r.scaleY;
        axis.m_fRotation = r.rotation;
        placeAt(axis, 100, 50);
        const KtRect& b = axis.m_Bounds;
        EXPECT_NEAR(b.x, 100 + r.expected.xMin, 1e-3f) << r.what;
        EXPECT_NEAR(b.x + b.w, 100 + r.expected.xMax, 1e-3f) << r.what;
        EXPECT_NEAR(b.y, 50 + r.expected.yMin, 1e-3f) << r.what;
        EXPECT_NEAR(b.y + b.h, 50 + r.expected.yMax, 1e-3f) << r.what;
    }
}

// A scale dragged to zero leaves the identity rather than a division by zero.
TEST(Axis, AScaleDraggedToZeroMapsThroughTheIdentity) {
    Axis axis("axis", kScaleX);
    placeAt(axis, 10, 20);
    ASSERT_NE(axis.pick(10 + 37, 20, 3, 3), nullptr);
    axis.penDown(10 + 37, 20);
    axis.drag(10, 25);
    EXPECT_EQ(axis.m_fScaleX, 0.0f);
    KtPoint local;
    axis.toLocal(local, {5, 6});
    EXPECT_EQ(local.x, 5.0f);
    EXPECT_EQ(local.y, 6.0f);
}

// Children are picked in the group's local units with the tolerance scaled alike, pressed in
// them, and their bounds join the group's through its matrix.
TEST(AxisGroup, PicksAndPressesChildrenInItsOwnUnits) {
    KtTManager manager;
    KtT2DAxisGroup group("group", kCentre);
    group.m_fUniformScale = 2.0f;
    placeAt(group, 100, 100);
    test::Probe child("child", {10, 0, 5, 5}), second("second", {20, 10, 10, 10});
    ASSERT_EQ(group.add(&child), 1);
    manager.addObject(&group);
    // Local (9, 1) is 1 unit left of the child, within the local tolerance of 1.5; local
    // (8, 1) is not, and the group's own arm answers.
    EXPECT_EQ(group.pick(118, 102, 3, 3), &child);
    EXPECT_EQ(group.pick(116, 102, 3, 3), &group);
    EXPECT_EQ(group.m_nPart, kMoveX);
    group.m_bAddToSecondList = true;
    group.add(&second);
    EXPECT_FLOAT_EQ(group.m_Bounds.x + group.m_Bounds.w, 160.0f);
    test::press(manager, 150, 124);
    EXPECT_EQ(manager.m_pHit, &second);
    EXPECT_FLOAT_EQ(second.lastPoint.x, 25.0f);
    EXPECT_FLOAT_EQ(second.lastPoint.y, 12.0f);
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    EXPECT_EQ(group.remove(&child), 1);
    EXPECT_EQ(child.m_pManager, nullptr);
    group.m_bOwnWidgetShown = false;
    EXPECT_EQ(group.pick(100, 100, 3, 3), nullptr);
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
