#include "plugin/overlay/message.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pattix {
namespace {

// Writes "<name> <type>" to a shared journal for every message, and checks who sent it.
struct RecordingHandler : KtMessageHandler {
    RecordingHandler(const char* handlerName, std::vector<std::string>& sharedJournal)
        : name(handlerName), journal(sharedJournal) {}
    void handleMessage(const KtMessage& message, KtMessageSender* sender) override {
        journal.push_back(name + " " + std::to_string(message.m_nType));
        senders.push_back(sender);
    }
    std::string name;
    std::vector<std::string>& journal;
    std::vector<KtMessageSender*> senders;
};

TEST(KtMessage, KeepsTheFirstFifteenCharactersOfItsName) {
    EXPECT_STREQ(KtMessage(AxisGrab, "abcdefghijklmnopqrst").m_szName, "abcdefghijklmno");
    EXPECT_STREQ(KtMessage(AxisGrab, "abcdefghijklmnop").m_szName, "abcdefghijklmno");
    EXPECT_STREQ(KtMessage(AxisGrab, "abcdefghijklmno").m_szName, "abcdefghijklmno");
    const KtMessage unnamed(PenMove);
    EXPECT_STREQ(unnamed.m_szName, "");
    EXPECT_EQ(unnamed.m_nKind, KindNone);
    EXPECT_EQ(unnamed.m_Payload.point.x, 0.0f);
    EXPECT_EQ(unnamed.m_Payload.point.y, 0.0f);
}

TEST(KtMessageSender, SendsToEveryHandlerOnceInAttachOrder) {
    std::vector<std::string> journal;
    KtMessageSender sender;
    RecordingHandler first("first", journal);
    RecordingHandler second("second", journal);
    attach(sender, second);
    attach(sender, first);
    attach(sender, second);  // a duplicate changes nothing
    EXPECT_EQ(first.m_Senders.size(), 1);
    sender.send(KtMessage(AxisDrag));
    EXPECT_EQ(journal, (std::vector<std::string>{"second 201", "first 201"}));
    EXPECT_EQ(first.senders, (std::vector<KtMessageSender*>{&sender}));
}

TEST(KtMessageSender, DestroyingEitherSideUnlinksBoth) {
    std::vector<std::string> journal;
    RecordingHandler handler("handler", journal);
    {
        KtMessageSender sender;
        attach(sender, handler);
        EXPECT_TRUE(handler.m_Senders.contains(&sender));
    }
    EXPECT_TRUE(handler.m_Senders.empty());

    KtMessageSender sender;
    {
        RecordingHandler shortLived("short-lived", journal);
        attach(sender, shortLived);
        attach(sender, handler);
    }
    EXPECT_EQ(sender.m_Handlers.size(), 1);
    sender.send(KtMessage(AxisRelease));
    EXPECT_EQ(journal, (std::vector<std::string>{"handler 202"}));
}

}  // namespace
}  // namespace pattix
