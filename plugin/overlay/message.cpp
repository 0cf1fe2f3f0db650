#include "plugin/overlay/message.hpp"

namespace pattix {

KtMessage::KtMessage(std::int32_t type, const char* name) : m_nType(type) {
    if (name == nullptr) return;
    for (int i = 0; i < kNameLength - 1 && name[i] != '\0'; ++i) m_szName[i] = name[i];
}

KtMessage::~KtMessage() = default;

void KtMessage::setValue(std::int32_t value) {
    m_nKind = KindValue;
    m_Payload.value = value;
}

void KtMessage::setPoint(float x, float y, std::int32_t kind) {
    m_nKind = kind;
    m_Payload.point.x = x;
    m_Payload.point.y = y;
}

KtMessageHandler::~KtMessageHandler() {
    KtMessageSender* sender = nullptr;
    m_Senders.start();
    while (m_Senders.next(sender)) sender->m_Handlers.remove(this);
    m_Senders.clear();
}

KtMessageSender::~KtMessageSender() {
    KtMessageHandler* handler = nullptr;
    m_Handlers.start();
    while (m_Handlers.next(handler)) handler->m_Senders.remove(this);
    m_Handlers.clear();
}

void KtMessageSender::send(const KtMessage& message) {
    KtMessageHandler* handler = nullptr;
    m_Handlers.start();
    while (m_Handlers.next(handler)) handler->handleMessage(message, this);
}

void attach(KtMessageSender& sender, KtMessageHandler& handler) {
    if (!sender.m_Handlers.contains(&handler)) sender.m_Handlers.append(&handler);
    if (!handler.m_Senders.contains(&sender)) handler.m_Senders.append(&sender);
}

void detach(KtMessageSender& sender, KtMessageHandler& handler) {
    sender.m_Handlers.remove(&handler);
    handler.m_Senders.remove(&sender);
}

}  // namespace pattix
