#include "plugin/overlay/message.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace pattix {
namespace {

struct RecordingHandler : KtMessageHandler {
    void handleMessage(const KtMessage& message, KtMessageSender* sender) override {
        types.push_back(message.m_nType);
        senders.push_back(sender);
    }
    std::vector<int> types;
    std::vector<KtMessageSender*> senders;
};

TEST(KtMessage, KeepsTheFirstFifteenCharactersOfItsName) {
    const KtMessage message(AxisGrab, "abcdefghijklmnopqrst");
    EXPECT_STREQ(message.m_szName, "abcdefghijklmno");
    EXPECT_EQ(std::strlen(message.m_szName), 15u);
}

TEST(KtMessage, StartsEmptyWithAZeroPayload) {
    const KtMessage message(PenMove);
    EXPECT_STREQ(message.m_szName, "");
    EXPECT_EQ(message.m_nType, 101);
    EXPECT_EQ(message.m_nKind, 0);
    EXPECT_EQ(message.m_Payload.point.x, 0.0f);
    EXPECT_EQ(message.m_Payload.point.y, 0.0f);
}

TEST(KtMessageSender, SendsToEveryHandlerInAttachOrder) {
    KtMessageSender sender;
    RecordingHandler first;
    RecordingHandler second;
    attach(sender, first);
    attach(sender, second);
    attach(sender, first);  // a duplicate changes nothing
    EXPECT_EQ(sender.m_Handlers.size(), 2);
    EXPECT_EQ(first.m_Senders.size(), 1);

    std::vector<KtMessageHandler*> order;
    struct OrderHandler : KtMessageHandler {
        std::vector<KtMessageHandler*>* order;
        void handleMessage(const KtMessage&, KtMessageSender*) override { order->push_back(this); }
    } third, fourth;
    third.order = fourth.order = &order;
    KtMessageSender other;
    attach(other, third);
    attach(other, fourth);
    other.send(KtMessage(AxisDrag));
    EXPECT_EQ(order, (std::vector<KtMessageHandler*>{&third, &fourth}));

    sender.send(KtMessage(AxisDrag));
    EXPECT_EQ(first.types, (std::vector<int>{AxisDrag}));
    EXPECT_EQ(first.senders, (std::vector<KtMessageSender*>{&sender}));
    EXPECT_EQ(second.types.size(), 1u);
}

TEST(KtMessageSender, DestroyingEitherSideUnlinksBoth) {
    RecordingHandler handler;
    {
        KtMessageSender sender;
        attach(sender, handler);
        EXPECT_TRUE(handler.m_Senders.contains(&sender));
    }
    EXPECT_TRUE(handler.m_Senders.empty());

    KtMessageSender sender;
    {
        RecordingHandler shortLived;
        attach(sender, shortLived);
        attach(sender, handler);
    }
    EXPECT_EQ(sender.m_Handlers.size(), 1);
    sender.send(KtMessage(AxisRelease));
    EXPECT_EQ(handler.types, (std::vector<int>{AxisRelease}));
}

}  // namespace
}  // namespace pattix
