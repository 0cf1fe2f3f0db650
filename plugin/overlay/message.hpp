// Overlay messages: the pen events the viewer tool hands the manager, and the axis widget's
// announcements of its own changes, sent to every handler attached to the sender.
#pragma once

#include <cstdint>

#include "plugin/overlay/kt_list.hpp"

namespace pattix {

enum KtMessageType : std::int32_t {
    PenMove = 101,
    PenDown = 102,
    PenUp = 103,
    AxisGrab = 200,
    AxisDrag = 201,
    AxisRelease = 202,
};

// What a message's payload holds.
enum KtMessageKind : std::int32_t {
    KindNone = 0,
    KindValue = 1,
    KindPenPosition = 6,
    KindPenPosition2 = 7,
};

class KtMessage {
public:
    static constexpr int kNameLength = 16;  // with the terminating NUL

    // The name is copied up to 15 characters; none gives an empty name.
    explicit KtMessage(std::int32_t type, const char* name = nullptr);
    virtual ~KtMessage();

    void setValue(std::int32_t value);
    void setPoint(float x, float y, std::int32_t kind = KindPenPosition);

    char m_szName[kNameLength] = {};
    std::int32_t m_nType = 0;
    std::int32_t m_nKind = KindNone;
    union Payload {
        std::int32_t value;
        struct {
            float x;
            float y;
        } point;
    } m_Payload{.point = {0.0f, 0.0f}};  // both words zero: `{}` clears only `value`
};

class KtMessageSender;

class KtMessageHandler {
public:
    KtMessageHandler() = default;
    KtMessageHandler(const KtMessageHandler&) = delete;
    KtMessageHandler& operator=(const KtMessageHandler&) = delete;
    // Leaves every sender it is attached to.
    virtual ~KtMessageHandler();
    // `sender` is null for a message handed over directly rather than sent.
    virtual void handleMessage(const KtMessage& message, KtMessageSender* sender) = 0;

    KtList<KtMessageSender*> m_Senders;
};

class KtMessageSender {
public:
    KtMessageSender() = default;
    KtMessageSender(const KtMessageSender&) = delete;
    KtMessageSender& operator=(const KtMessageSender&) = delete;
    // Leaves every handler attached to it.
    virtual ~KtMessageSender();

    // Hands the message to every attached handler, first attached first.
    void send(const KtMessage& message);

    KtList<KtMessageHandler*> m_Handlers;
};

// Links a sender and a handler both ways; linking them twice changes nothing.
void attach(KtMessageSender& sender, KtMessageHandler& handler);
void detach(KtMessageSender& sender, KtMessageHandler& handler);

}  // namespace pattix
