// The overlay's building blocks: the 2D transform and its stack, the list that survives removal
// while it is walked, and messages between senders and handlers.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "plugin/overlay/affine2d.hpp"
#include "plugin/overlay/draw.hpp"
#include "plugin/overlay/kt_list.hpp"
#include "plugin/overlay/message.hpp"

namespace pattix {
namespace {

void expectNear(KtPoint actual, KtPoint expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
}

// Scale, then a quarter turn counterclockwise, then a shift: (1, 0) -> (2, 0) -> (0, 2) ->
// (10, 22). In a product the left factor acts first, also when both factors are the product.
TEST(Affine2D, OperationsApplyInTheOrderGivenAndTheInverseUndoesThem) {
    Affine2D a;
    a.scale(2.0f, 3.0f);
    a.rotate(1.5707964f);
    a.translate(10.0f, 20.0f);
    expectNear(a.map({1, 0}), {10, 22});
    expectNear(a.map({0, 1}), {7, 20});
    Affine2D inverse;
    inverse.inverseOf(a);
    for (KtPoint p : {KtPoint{0, 0}, KtPoint{3, -2}, KtPoint{-100, 45}})
        expectNear(inverse.map(a.map(p)), p);

    Affine2D scale, shift, product;
    scale.scale(2.0f, 2.0f);
    shift.translate(5.0f, 0.0f);
    product.multiply(scale, shift);
    expectNear(product.map({1, 1}), {7, 2});
    product.multiply(product, product);
    expectNear(product.map({1, 1}), {19, 4});
}

// A determinant below 2^-50 in size, or not a number, inverts to the identity.
TEST(Affine2D, ANearSingularMatrixInvertsToTheIdentity) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const auto& [s, identity] : {std::pair{1e-8f, true}, std::pair{0.0f, true},
                                      std::pair{nan, true}, std::pair{1e-7f, false}}) {
        Affine2D a;
        a.scale(s, s);
        a.invert();
        EXPECT_NEAR(a.map({1e-7f, 0}).x, identity ? 1e-7f : 1.0f, 1e-4f) << s;
    }
}

// 32 entries: a push at the top keeps the top entry, a pop at the bottom keeps the identity; a
// push copies the entry below and a concatenation acts inside the frame already there.
TEST(Affine2D, TheTransformStackNeverLeavesItsEntries) {
    Affine2D shift, scale;
    shift.translate(10.0f, 0.0f);
    scale.scale(2.0f, 2.0f);
    KtTDraw::pushAffine();
    KtTDraw::concatAffine(shift);
    KtTDraw::pushAffine();
    KtTDraw::concatAffine(scale);
    expectNear(KtTDraw::topAffine().map({1, 1}), {12, 2});
    for (int i = 0; i < 40; ++i) KtTDraw::pushAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 31);
    expectNear(KtTDraw::topAffine().map({1, 1}), {12, 2});
    for (int i = 0; i < 30; ++i) KtTDraw::popAffine();
    expectNear(KtTDraw::topAffine().map({1, 1}), {11, 1});
    for (int i = 0; i < 40; ++i) KtTDraw::popAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    expectNear(KtTDraw::topAffine().map({1, 1}), {1, 1});
}

// A walk visits every item still in the list, whichever items the visit removes; a removal
// takes every node holding the item.
TEST(KtList, RemovalDuringIterationGoesOnWithTheItemsLeft) {
    struct Row {
        bool backward;
        int visited, removed;  // the visit of `visited` removes `removed`
        std::vector<int> visits;
    };
    for (const Row& r :
         {Row{false, 2, 2, {1, 2, 3, 4}}, Row{false, 2, 3, {1, 2, 4}}, Row{false, 3, 4, {1, 2, 3}},
          Row{false, 3, 1, {1, 2, 3, 4}}, Row{true, 3, 3, {4, 3, 2, 1}}, Row{true, 3, 2, {4, 3, 1}},
          Row{true, 2, 1, {4, 3, 2}}, Row{false, 1, 4, {1, 2, 3}}}) {
        KtList<int> list;
        for (int i : {1, 2, 3, 4, 4}) list.append(i);
        std::vector<int> visits;
        int item = 0;
        r.backward ? list.startFromBack() : list.start();
        while (list.next(item)) {
            if (visits.empty() || visits.back() != item) visits.push_back(item);
            if (item == r.visited) list.remove(r.removed);
        }
        EXPECT_EQ(visits, r.visits) << r.visited << " removes " << r.removed;
    }
}

struct Recorder : KtMessageHandler {
    Recorder(const char* handlerName, std::vector<std::string>& shared)
        : name(handlerName), journal(shared) {}
    void handleMessage(const KtMessage& message, KtMessageSender* sender) override {
        journal.push_back(name + " " + std::to_string(message.m_nType) + " " + message.m_szName);
        senders.push_back(sender);
    }
    std::string name;
    std::vector<std::string>& journal;
    std::vector<KtMessageSender*> senders;
};

// Every handler is told once, first attached first, with the name cut to 15 characters; a
// destroyed sender or handler leaves the other side.
TEST(KtMessage, ReachesEveryAttachedHandlerOnceUntilEitherSideIsGone) {
    std::vector<std::string> journal;
    KtMessageSender sender;
    Recorder first("first", journal);
    {
        Recorder second("second", journal);
        attach(sender, second);
        attach(sender, first);
        attach(sender, second);
        sender.send(KtMessage(AxisDrag, "abcdefghijklmnopqrst"));
        EXPECT_EQ(first.senders, std::vector<KtMessageSender*>{&sender});
    }
    sender.send(KtMessage(AxisRelease));
    EXPECT_EQ(journal, (std::vector<std::string>{"second 201 abcdefghijklmno",
                                                 "first 201 abcdefghijklmno", "first 202 "}));
    {
        KtMessageSender shortLived;
        attach(shortLived, first);
    }
    EXPECT_EQ(first.m_Senders.size(), 1);
}

}  // namespace
}  // namespace pattix
