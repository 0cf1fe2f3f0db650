#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "plugin/overlay/overlay_object.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

using test::move;
using test::penMessage;
using test::press;
using test::Probe;
using test::release;
using Journal = std::vector<std::string>;

// Bounds (10, 10) to (20, 20) grown by the tolerance 3, edges included; an unbounded object,
// and only a visible and pickable one, is tried wherever the pen is.
TEST(Picking, AnObjectIsTriedOnlyWithinItsGrownBoundsAndWhenShownAndPickable) {
    struct Row {
        float x, y;
        std::int32_t state;
        bool bounded, tried;
    };
    constexpr std::int32_t kBoth = KtTObject::kPickable | KtTObject::kVisible;
    for (const Row r : {Row{7, 15, kBoth, true, true}, Row{6, 15, kBoth, true, false},
                        Row{23, 15, kBoth, true, true}, Row{24, 15, kBoth, true, false},
                        Row{15, 7, kBoth, true, true}, Row{15, 6, kBoth, true, false},
                        Row{15, 23, kBoth, true, true}, Row{15, 24, kBoth, true, false},
                        Row{500, -500, kBoth, false, true}, Row{15, 15, 0, true, false},
                        Row{15, 15, KtTObject::kPickable, true, false},
                        Row{15, 15, KtTObject::kVisible, false, false}}) {
        Probe probe("probe", {10, 10, 10, 10});
        probe.alwaysHit = true;
        probe.setState(r.state);
        probe.setFlag(KtTObject::kBounded, r.bounded);
        probe.m_pActive = &probe;
        EXPECT_EQ(probe.pickIfVisible(r.x, r.y, 3, 3), r.tried ? &probe : nullptr)
            << r.x << ", " << r.y;
        EXPECT_EQ(probe.picks, r.tried ? 1 : 0);
        EXPECT_EQ(probe.m_pActive, r.tried ? &probe : nullptr);
    }
}

// The object added last is drawn on top and tried first; the search ends at the first answer.
// Inside an opaque group but on none of its children the pen hits nothing, not what lies below.
TEST(Picking, TheTopObjectWinsAndAnOpaqueGroupHidesWhatLiesBelow) {
    for (bool opaque : {true, false}) {
        KtTManager manager;
        Probe below("below", {0, 0, 30, 10}), above("above", {25, 5, 20, 20});
        KtTGroup group("group");
        Probe left("left", {0, 0, 10, 10}), right("right", {20, 0, 10, 10});
        if (!opaque) group.m_GroupFlags &= static_cast<std::uint8_t>(~KtTGroup::kOpaque);
        left.setParent(&group);
        right.setParent(&group);
        for (KtTObject* o : {(KtTObject*)&below, (KtTObject*)&group, (KtTObject*)&above})
            manager.addObject(o);
        manager.m_PickTolerance = {1, 1};
        press(manager, 27, 7);
        EXPECT_EQ(manager.m_pHit, &above);
        EXPECT_EQ(below.picks + right.picks, 0);
        release(manager, 15, 5);
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
    Probe child("child", {10, 10, 10, 10}), other("other", {30, 0, 10, 10});
    child.setParent(&group);
    manager.addObject(&group);
    manager.addObject(&other);
    move(manager, 35, 5);
    EXPECT_TRUE(press(manager, 12, 13));
    move(manager, 14, 15);
    release(manager, 14, 15);
    EXPECT_EQ(other.events, (Journal{"enter", "leave"}));
    EXPECT_EQ(child.events, (Journal{"penDown", "drag", "penUp", "enter"}));
    EXPECT_EQ(child.lastPoint.x, 14.0f);
    EXPECT_EQ(child.lastPoint.y, 15.0f);
    EXPECT_EQ(manager.m_pCurrent, &group);
    EXPECT_EQ(group.m_pActive, &child);
}

TEST(Picking, AFallbackTakesThePenWhenNothingIsHit) {
    KtTManager manager;
    KtTGroup outer("outer"), inner("inner");
    Probe fallback("fallback", {100, 100, 1, 1});
    fallback.setParent(&inner);
    inner.setParent(&outer);
    manager.addObject(&outer);
    manager.m_pFallback = &fallback;
    press(manager, 0, 0);
    EXPECT_EQ(fallback.count("penDown"), 1);
    EXPECT_EQ(outer.m_pActive, &inner);
    EXPECT_EQ(manager.m_pCurrent, &outer);
}

TEST(Bounds, AGroupFollowsItsChildrenAndPassesChangesUp) {
    KtTGroup outer("outer"), group("group");
    KtExtent extent{1, 2, 3, 4};
    EXPECT_EQ(group.getBounds(extent), KtTContainer::kNoChildren);
    EXPECT_EQ(extent.xMin + extent.yMax, 0.0f);
    Probe a("a", {0, 0, 10, 10}), b("b", {20, 30, 5, 5});
    group.setParent(&outer);
    a.setParent(&group);
    b.setParent(&group);
    EXPECT_EQ(group.add(&a), 0);
    EXPECT_EQ(group.m_nBoundsState, KtTContainer::kAllBounded);
    EXPECT_EQ(group.m_Bounds.w, 25.0f);
    EXPECT_EQ(group.m_Bounds.h, 35.0f);
    b.setPosition(-10, -10);
    EXPECT_EQ(group.m_Bounds.x, -10.0f);
    EXPECT_EQ(group.m_Bounds.w, 20.0f);
    EXPECT_EQ(outer.m_Bounds.x, -10.0f);
    EXPECT_EQ(group.remove(&b), 1);
    EXPECT_EQ(group.m_Bounds.w, 10.0f);

    // With an unbounded child the group is unbounded and tried wherever the pen is.
    a.setFlag(KtTObject::kBounded, false);
    a.alwaysHit = true;
    group.childChanged(&a);
    EXPECT_EQ(group.m_nBoundsState, KtTContainer::kSomeUnbounded);
    EXPECT_EQ(group.pickIfVisible(1000, 1000, 1, 1), &a);
}

TEST(Lifetime, AChildMayRemoveItselfOrItsNeighbourWhileBeingDrawn) {
    Journal journal;
    KtTGroup group("group");
    group.m_GroupFlags = 0;
    Probe a("a", {}, &journal), b("b", {}, &journal), c("c", {}, &journal), d("d", {}, &journal);
    for (Probe* p : {&a, &b, &c, &d}) p->setParent(&group);
    b.onDraw = [&] { group.remove(&b); };
    a.onDraw = [&] { group.remove(&c); };
    group.draw();
    EXPECT_EQ(journal, (Journal{"a.draw", "b.draw", "d.draw"}));
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
    press(manager, 55, 55);
    ASSERT_EQ(manager.m_pHit, top.get());
    top.reset();
    EXPECT_EQ(manager.m_pHit, nullptr);
    EXPECT_EQ(manager.m_Children.size(), 1);
    release(manager, 5, 5);  // nothing dangling is reached
}

// A message with no position, or none of the pen's, leaves the pen where it was.
TEST(KtTManager, TracksThePenAndIgnoresWhatIsNoPenEvent) {
    KtTManager manager;
    EXPECT_FALSE(press(manager, 5, 6));
    EXPECT_FALSE(move(manager, 8, 4));
    KtPoint delta;
    manager.getPenDelta(delta);
    EXPECT_EQ(delta.x + delta.y, 1.0f);
    EXPECT_EQ(manager.isPenDown(), 1);
    EXPECT_FALSE(release(manager, 8, 4));
    EXPECT_EQ(manager.isPenDown(), 0);
    manager.handleEvent(KtMessage(PenMove));
    manager.handleEvent(penMessage(AxisGrab, 50, 50));
    EXPECT_EQ(manager.m_Pen.x, 8.0f);
}

// A hover move of 0.001 or less in both axes causes no pick; a redraw is asked when the hit
// changes, when a label follows the pen, and while dragging exactly when the drag says so.
TEST(KtTManager, HoverAndDragAskForARedrawOnlyWhenSomethingChanges) {
    constexpr float kBelow = 0.0009765625f;  // 2^-10, exact in a float
    struct Row {
        float x, y;
        bool labels;
        int picks;
        bool redraw;
    };
    KtTManager manager;
    Probe probe("probe", {0, 0, 10, 10});
    probe.setFlag(KtTObject::kBounded, false);  // tried at every pick
    manager.addObject(&probe);
    manager.draw();
    int row = 0;
    constexpr float kNear = 5 + kBelow, kFar = 5 + kBelow + 2 * kBelow;
    for (const Row r :
         {Row{0.001f, 0.001f, false, 0, false}, Row{5, 5, false, 1, true},
          Row{kNear, 5, false, 1, false}, Row{kFar, 5, false, 2, false}, Row{50, 5, false, 3, true},
          Row{60, 5, true, 4, false}, Row{5, 5, true, 5, true}, Row{6, 5, true, 6, true}}) {
        manager.m_bShowLabels = r.labels;
        EXPECT_EQ(move(manager, r.x, r.y), r.redraw) << "row " << row;
        EXPECT_EQ(probe.picks, r.picks) << "row " << row;
        ++row;
        manager.draw();
    }
    manager.m_bShowLabels = false;
    press(manager, 5, 5);
    manager.setFlag(KtTManager::kRedraw, true);
    probe.dragResult = 0;
    EXPECT_FALSE(move(manager, 6, 6));
    probe.dragResult = 1;
    EXPECT_TRUE(move(manager, 7, 6));
}

TEST(KtTManager, AMessageArrivingWhileBusyOnlyMovesThePen) {
    KtTManager manager;
    Probe probe("probe", {0, 0, 10, 10});
    manager.addObject(&probe);
    probe.onPenDown = [&] { manager.handleEvent(penMessage(PenMove, 50, 60)); };
    press(manager, 5, 5);
    EXPECT_EQ(probe.count("drag"), 0);
    EXPECT_EQ(manager.m_Pen.y, 60.0f);
    move(manager, 51, 60);  // no longer busy
    EXPECT_EQ(probe.count("drag"), 1);
}

// Drawing skips invisible objects, keeps the order they were added in and puts the hit object's
// label eight units right of and above the pen; adding a shown object asks for a redraw.
TEST(KtTManager, DrawsVisibleObjectsInOrderAndTheHitObjectsLabel) {
    Journal journal;
    KtTManager manager;
    Probe a("a", {0, 0, 10, 10}, &journal), b("b", {}, &journal), c("c", {}, &journal);
    b.setState(KtTObject::kPickable);
    manager.addObject(&b);
    EXPECT_FALSE(manager.redrawNeeded());
    manager.addObject(&a);
    EXPECT_TRUE(manager.redrawNeeded());
    manager.addObject(&c);
    move(manager, 4, 3);
    journal.clear();
    manager.draw();
    EXPECT_EQ(journal, (Journal{"a.draw", "c.draw", "a.drawLabel"}));
    EXPECT_FALSE(manager.redrawNeeded());
    EXPECT_EQ(a.lastPoint.x, 12.0f);
    EXPECT_EQ(a.lastPoint.y, 11.0f);
    manager.m_bShowLabels = false;
    manager.draw();
    EXPECT_EQ(a.count("drawLabel"), 1);
}

}  // namespace
}  // namespace pattix
