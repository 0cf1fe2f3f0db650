#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "plugin/overlay/overlay_object.hpp"
#include "tests/overlay/allocation_failure.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

using test::move;
using test::penMessage;
using test::press;
using test::Probe;
using test::release;

// --- picking ----------------------------------------------------------------------------------

TEST(Picking, TheObjectAddedLaterWinsWhereTwoOverlap) {
    KtTManager manager;
    Probe below("below", {0, 0, 20, 20});
    Probe above("above", {10, 10, 20, 20});
    manager.addObject(&below);
    manager.addObject(&above);
    press(manager, 15, 15);
    EXPECT_EQ(manager.m_pHit, &above);
    EXPECT_EQ(manager.m_pCurrent, &above);
    EXPECT_EQ(above.count("penDown"), 1);
    EXPECT_EQ(below.count("penDown"), 0);
    EXPECT_EQ(below.picks, 0);  // the search ends at the first answer
}

// Bounds (10, 10) to (20, 20), tolerance 3 on each side, all comparisons inclusive; an
// unbounded object is tried wherever the pen is.
TEST(Picking, ABoundedObjectIsTriedExactlyWithinItsGrownBounds) {
    struct Case {
        float x, y;
        bool tried;
    };
    for (const Case c :
         {Case{7, 15, true}, Case{6, 15, false}, Case{23, 15, true}, Case{24, 15, false},
          Case{15, 7, true}, Case{15, 6, false}, Case{15, 23, true}, Case{15, 24, false},
          Case{7, 23, true}, Case{6, 24, false}}) {
        Probe probe("probe", {10, 10, 10, 10});
        probe.alwaysHit = true;
        probe.m_pActive = &probe;
        EXPECT_EQ(probe.pickIfVisible(c.x, c.y, 3.0f, 3.0f), c.tried ? &probe : nullptr)
            << c.x << ", " << c.y;
        EXPECT_EQ(probe.picks, c.tried ? 1 : 0);
        EXPECT_EQ(probe.m_pActive, c.tried ? &probe : nullptr);
        probe.setFlag(KtTObject::kBounded, false);
        EXPECT_EQ(probe.pickIfVisible(c.x + 500, c.y - 500, 3, 3), &probe);
    }
}

TEST(Picking, OnlyVisibleAndPickableObjectsAreTried) {
    for (std::int32_t state : {0, KtTObject::kPickable, KtTObject::kVisible}) {
        Probe probe("probe", {0, 0, 10, 10});
        probe.setState(state);
        probe.m_pActive = &probe;
        EXPECT_EQ(probe.pickIfVisible(5, 5, 3, 3), nullptr) << state;
        EXPECT_EQ(probe.picks, 0) << state;
        EXPECT_EQ(probe.m_pActive, nullptr) << state;
    }
}

// A press inside an opaque group but on none of its children hits nothing and does not reach
// the object below; without opacity it does.
TEST(Picking, AnOpaqueGroupHidesWhatLiesBelowIt) {
    for (bool opaque : {true, false}) {
        KtTManager manager;
        Probe below("below", {0, 0, 30, 10});
        KtTGroup group("group");
        Probe left("left", {0, 0, 10, 10});
        Probe right("right", {20, 0, 10, 10});
        if (!opaque) group.m_GroupFlags &= static_cast<std::uint8_t>(~KtTGroup::kOpaque);
        left.setParent(&group);
        right.setParent(&group);
        manager.addObject(&below);
        manager.addObject(&group);
        manager.m_PickTolerance = {1.0f, 1.0f};
        press(manager, 15, 5);
        EXPECT_EQ(below.count("penDown"), opaque ? 0 : 1) << opaque;
        EXPECT_EQ(manager.m_pHit, opaque ? nullptr : &below) << opaque;
        EXPECT_EQ(left.count("penDown") + right.count("penDown"), 0);
    }
}

// A press leaves the object under the hovering pen and goes down the active chain to the
// group's child, which shares the group's units; after the release a fresh pick enters it.
TEST(Picking, APressOnAGroupsChildIsRoutedDownTheActiveChain) {
    KtTManager manager;
    KtTGroup group("group");
    Probe child("child", {10, 10, 10, 10});
    Probe other("other", {30, 0, 10, 10});
    child.setParent(&group);
    manager.addObject(&group);
    manager.addObject(&other);
    EXPECT_EQ(child.m_pManager, &manager);
    move(manager, 35, 5);
    EXPECT_EQ(other.count("enter"), 1);

    EXPECT_TRUE(press(manager, 12, 13));
    EXPECT_EQ(other.count("leave"), 1);
    EXPECT_EQ(manager.m_pHit, &child);
    EXPECT_EQ(manager.m_pCurrent, &group);
    EXPECT_EQ(group.m_pActive, &child);
    EXPECT_EQ(child.count("penDown"), 1);
    EXPECT_TRUE(child.hasFlag(KtTObject::kPressed));
    EXPECT_EQ(child.lastPoint.x, 12.0f);
    EXPECT_EQ(child.lastPoint.y, 13.0f);
    move(manager, 14, 15);
    EXPECT_EQ(child.count("drag"), 1);
    release(manager, 14, 15);
    EXPECT_EQ(child.count("penUp"), 1);
    EXPECT_FALSE(child.hasFlag(KtTObject::kPressed));
    EXPECT_EQ(child.count("enter"), 1);
    EXPECT_TRUE(child.hasFlag(KtTObject::kHovered));
}

TEST(Picking, AFallbackTakesThePenWhenNothingIsHit) {
    KtTManager manager;
    KtTGroup outer("outer");
    KtTGroup inner("inner");
    Probe fallback("fallback", {100, 100, 1, 1});
    inner.m_GroupFlags = 0;
    outer.m_GroupFlags = 0;
    fallback.setParent(&inner);
    inner.setParent(&outer);
    manager.addObject(&outer);
    manager.m_pFallback = &fallback;
    press(manager, 0, 0);
    EXPECT_EQ(manager.m_pHit, &fallback);
    EXPECT_EQ(fallback.m_pActive, &fallback);
    EXPECT_EQ(inner.m_pActive, &fallback);
    EXPECT_EQ(outer.m_pActive, &inner);
    EXPECT_EQ(manager.m_pCurrent, &outer);
    EXPECT_EQ(fallback.count("penDown"), 1);
}

// --- bounds -----------------------------------------------------------------------------------

TEST(Bounds, WithNoChildrenOrOnlyUnboundedOnesAGroupIsUnboundedAndAlwaysTried) {
    KtTGroup group("group");
    KtExtent extent{1, 2, 3, 4};
    EXPECT_EQ(group.getBounds(extent), KtTContainer::kNoChildren);
    EXPECT_EQ(extent.xMin, 0.0f);
    EXPECT_EQ(extent.yMax, 0.0f);
    Probe a("a", {0, 0, 1, 1});
    a.setFlag(KtTObject::kBounded, false);
    a.alwaysHit = true;
    a.setParent(&group);
    EXPECT_EQ(group.getBounds(extent), KtTContainer::kSomeUnbounded);
    EXPECT_FALSE(group.hasFlag(KtTObject::kBounded));
    EXPECT_EQ(group.pickIfVisible(1000, 1000, 1, 1), &a);
}

TEST(Bounds, AGroupFollowsItsChildrenAndPassesChangesUp) {
    KtTGroup outer("outer");
    KtTGroup group("group");
    Probe a("a", {0, 0, 10, 10});
    Probe b("b", {20, 30, 5, 5});
    group.setParent(&outer);
    a.setParent(&group);
    b.setParent(&group);
    EXPECT_EQ(group.m_nBoundsState, KtTContainer::kAllBounded);
    EXPECT_TRUE(group.hasFlag(KtTObject::kBounded));
    EXPECT_EQ(group.m_Bounds.x, 0.0f);
    EXPECT_EQ(group.m_Bounds.w, 25.0f);
    EXPECT_EQ(group.m_Bounds.h, 35.0f);

    b.setPosition(-10, -10);
    EXPECT_EQ(group.m_Bounds.x, -10.0f);
    EXPECT_EQ(group.m_Bounds.w, 20.0f);
    EXPECT_EQ(outer.m_Bounds.x, -10.0f);  // the change travelled up
    group.setPosition(100, 100);          // a group's bounds follow its children only
    EXPECT_EQ(group.m_Bounds.x, -10.0f);

    EXPECT_EQ(group.remove(&b), 1);
    EXPECT_EQ(b.m_pParent, nullptr);
    EXPECT_EQ(group.m_Bounds.x, 0.0f);
    EXPECT_EQ(group.m_Bounds.w, 10.0f);
    EXPECT_EQ(group.remove(&b), 0);
}

TEST(Bounds, AddingTwiceOrNothingIsRefused) {
    KtTManager manager;
    KtTGroup group("group");
    Probe a("a");
    EXPECT_EQ(group.add(nullptr), 0);
    EXPECT_EQ(group.add(&a), 1);
    EXPECT_EQ(group.add(&a), 0);
    EXPECT_EQ(group.m_Children.size(), 1);
    EXPECT_EQ(manager.addObject(nullptr), 0);
    EXPECT_EQ(manager.addObject(&group), 1);
    EXPECT_EQ(manager.addObject(&group), 0);
    EXPECT_EQ(manager.m_Children.size(), 1);
}

// --- iteration and lifetime -------------------------------------------------------------------

TEST(Iteration, AChildMayRemoveItselfOrItsNeighbourWhileBeingDrawn) {
    std::vector<std::string> journal;
    KtTGroup group("group");
    group.m_GroupFlags = 0;
    Probe a("a", {}, &journal), b("b", {}, &journal), c("c", {}, &journal), d("d", {}, &journal);
    for (Probe* p : {&a, &b, &c, &d}) p->setParent(&group);
    b.onDraw = [&] { group.remove(&b); };
    a.onDraw = [&] { group.remove(&c); };
    group.draw();
    EXPECT_EQ(journal, (std::vector<std::string>{"a.draw", "b.draw", "d.draw"}));
    EXPECT_EQ(group.m_Children.size(), 2);
}

TEST(Lifetime, ADestroyedControlLeavesItsGroupAndManager) {
    KtTManager manager;
    KtTGroup group("group");
    manager.addObject(&group);
    auto child = std::make_unique<Probe>("child", KtRect{0, 0, 10, 10});
    auto top = std::make_unique<Probe>("top", KtRect{50, 50, 10, 10});
    child->setParent(&group);
    manager.addObject(top.get());
    press(manager, 5, 5);
    ASSERT_EQ(manager.m_pHit, child.get());
    child.reset();
    EXPECT_TRUE(group.m_Children.empty());
    EXPECT_EQ(manager.m_pHit, nullptr);
    EXPECT_EQ(group.m_pActive, nullptr);
    top.reset();
    EXPECT_EQ(manager.m_Children.size(), 1);
    release(manager, 5, 5);  // nothing dangling is reached
}

// --- the manager ------------------------------------------------------------------------------

// The viewer tool makes its controls inside host calls, which no exception may leave: a name
// or description that cannot be copied for want of memory is dropped instead.
TEST(Lifetime, ATextWithoutMemoryForItsCopyIsDroppedNotThrown) {
    const std::string text(64, 'n');  // past the string's own small buffer
    test::failNextAllocation(text.size());
    Probe probe(text.c_str());
    EXPECT_EQ(probe.name(), nullptr);
    EXPECT_EQ(probe.findByName(text.c_str()), nullptr);
    test::failNextAllocation(text.size());
    probe.setDescription(text.c_str());
    EXPECT_EQ(probe.description(), nullptr);
    probe.setDescription(text.c_str());
    EXPECT_STREQ(probe.description(), text.c_str());
}

TEST(KtTManager, TracksPenPositionDeltaAndButtonWithNothingToHit) {
    KtTManager manager;
    EXPECT_FALSE(press(manager, 5, 6));
    EXPECT_EQ(manager.isPenDown(), 1);
    EXPECT_FALSE(move(manager, 8, 4));
    KtPoint delta;
    manager.getPenDelta(delta);
    EXPECT_EQ(delta.x, 3.0f);
    EXPECT_EQ(delta.y, -2.0f);
    EXPECT_FALSE(release(manager, 8, 4));
    EXPECT_EQ(manager.isPenDown(), 0);
    EXPECT_EQ(manager.m_pHit, nullptr);
    EXPECT_EQ(manager.m_pCurrent, nullptr);
    EXPECT_FALSE(manager.redrawNeeded());

    KtMessage valueOnly(PenMove);
    valueOnly.setValue(7);  // no position: the pen stays
    manager.handleEvent(valueOnly);
    manager.handleEvent(penMessage(AxisGrab, 50, 50));  // not a pen event: ignored
    KtPoint pen;
    manager.getPenPosition(pen);
    EXPECT_EQ(pen.x, 8.0f);
}

// A hover move of 0.001 or less in both axes causes no pick and no enter or leave.
TEST(KtTManager, HoverMovesBelowTheThresholdArePassedOver) {
    KtTManager manager;
    Probe probe("probe", {-10, -10, 20, 20});
    manager.addObject(&probe);
    move(manager, 0.001f, 0.001f);  // from (0, 0): exactly the threshold in both axes
    EXPECT_EQ(probe.picks, 0);
    EXPECT_EQ(probe.count("enter"), 0);

    move(manager, 0.001f, 0.003f);
    ASSERT_EQ(probe.picks, 1);
    ASSERT_EQ(probe.count("enter"), 1);

    constexpr float kBelow = 0.0009765625f;  // 2^-10, exact in a float
    move(manager, 0.001f + kBelow, 0.003f - kBelow);
    EXPECT_EQ(probe.picks, 1);
    EXPECT_EQ(probe.count("leave"), 0);

    move(manager, 0.001f + kBelow, 0.003f + kBelow);  // 2^-9 in y
    EXPECT_EQ(probe.picks, 2);
    EXPECT_EQ(probe.count("leave"), 1);
    EXPECT_EQ(probe.count("enter"), 2);
}

TEST(KtTManager, HoverRedrawsWhenTheHitChangesOrALabelFollows) {
    KtTManager manager;
    Probe probe("probe", {0, 0, 10, 10});
    manager.addObject(&probe);
    manager.draw();
    manager.m_bShowLabels = false;
    EXPECT_TRUE(move(manager, 5, 5));  // nothing -> probe
    manager.draw();
    EXPECT_FALSE(move(manager, 6, 5));  // probe -> probe
    EXPECT_TRUE(move(manager, 50, 5));  // probe -> nothing
    manager.draw();
    manager.m_bShowLabels = true;
    EXPECT_FALSE(move(manager, 60, 5));
    move(manager, 5, 5);
    manager.draw();
    EXPECT_TRUE(move(manager, 6, 5));  // the label follows the pen
}

TEST(KtTManager, DragRedrawIsExactlyTheDragResult) {
    KtTManager manager;
    manager.m_bShowLabels = false;
    Probe probe("probe", {0, 0, 10, 10});
    manager.addObject(&probe);
    press(manager, 5, 5);
    manager.setFlag(KtTManager::kRedraw, true);
    probe.dragResult = 0;
    EXPECT_FALSE(move(manager, 6, 6));
    probe.dragResult = 1;
    EXPECT_TRUE(move(manager, 7, 6));
    EXPECT_EQ(probe.lastPoint.x, 7.0f);
}

TEST(KtTManager, AMessageArrivingWhileBusyOnlyMovesThePen) {
    KtTManager manager;
    Probe probe("probe", {0, 0, 10, 10});
    manager.addObject(&probe);
    probe.onPenDown = [&] { manager.handleEvent(penMessage(PenMove, 50, 60)); };
    press(manager, 5, 5);
    EXPECT_EQ(probe.count("drag"), 0);
    EXPECT_EQ(probe.picks, 1);
    KtPoint pen;
    manager.getPenPosition(pen);
    EXPECT_EQ(pen.x, 50.0f);
    EXPECT_EQ(pen.y, 60.0f);
    EXPECT_EQ(manager.m_Flags & KtTManager::kBusy, 0);
    move(manager, 51, 60);  // no longer busy
    EXPECT_EQ(probe.count("drag"), 1);
}

// Drawing skips invisible objects, keeps the order they were added in and puts the hit object's
// label eight units right of and above the pen.
TEST(KtTManager, DrawsVisibleObjectsInOrderAndTheHitObjectsLabel) {
    std::vector<std::string> journal;
    KtTManager manager;
    Probe a("a", {0, 0, 10, 10}, &journal), b("b", {}, &journal), c("c", {}, &journal);
    for (Probe* p : {&a, &b, &c}) manager.addObject(p);
    b.setState(KtTObject::kPickable);
    move(manager, 4, 3);
    journal.clear();
    manager.draw();
    EXPECT_EQ(journal, (std::vector<std::string>{"a.draw", "c.draw", "a.drawLabel"}));
    EXPECT_FALSE(manager.redrawNeeded());
    EXPECT_EQ(a.labelPoint.x, 12.0f);
    EXPECT_EQ(a.labelPoint.y, 11.0f);
    manager.m_bShowLabels = false;
    manager.draw();
    EXPECT_EQ(a.count("drawLabel"), 1);
}

TEST(KtTManager, AddingAVisibleObjectAsksForARedraw) {
    KtTManager manager;
    Probe hidden("hidden");
    hidden.setState(KtTObject::kPickable);
    manager.addObject(&hidden);
    EXPECT_FALSE(manager.redrawNeeded());
    EXPECT_EQ(hidden.m_pManager, &manager);
    Probe shown("shown");
    shown.setFlag(KtTObject::kBounded, false);
    manager.addObject(&shown);
    EXPECT_TRUE(manager.redrawNeeded());
    EXPECT_EQ(manager.m_nBoundsState, KtTContainer::kSomeUnbounded);
}

}  // namespace
}  // namespace pattix
