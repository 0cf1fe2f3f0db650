#include "plugin/overlay/manager.hpp"

#include <cmath>

namespace pattix {

KtTManager::~KtTManager() {
    setManagerOfChildren(nullptr);
}

void KtTManager::getPenPosition(KtPoint& out) {
    out = m_Pen;
}

void KtTManager::getPenDelta(KtPoint& out) {
    out = m_PenDelta;
}

int KtTManager::isPenDown() {
    return m_nButtons & 1;
}

void KtTManager::draw() {
    drawChildren();
    setFlag(kRedraw, false);
    if (m_bShowLabels && m_pHit != nullptr)
        m_pHit->drawLabel({m_Pen.x + kLabelOffset, m_Pen.y + kLabelOffset});
}

int KtTManager::addObject(KtTObject* object) {
    if (object == nullptr || find(object) != nullptr) return 0;
    object->setParent(nullptr);
    if (!m_Children.append(object)) return 0;
    m_nBoundsState = object->hasFlag(KtTObject::kBounded) ? kAllBounded : kSomeUnbounded;
    object->setManager(this);
    if (object->isVisible()) setFlag(kRedraw, true);
    return 1;
}

bool KtTManager::handleEvent(const KtMessage& message) {
    handleMessage(message, nullptr);
    return redrawNeeded();
}

void KtTManager::forget(KtTObject* object) {
    m_Children.remove(object);
    if (m_pCurrent == object) m_pCurrent = nullptr;
    if (m_pHit == object) m_pHit = nullptr;
    if (m_pFallback == object) m_pFallback = nullptr;
}

void KtTManager::handleMessage(const KtMessage& message, KtMessageSender* /*sender*/) {
    const std::int32_t type = message.m_nType;
    if (type != PenMove && type != PenDown && type != PenUp) return;
    if (message.m_nKind == KindPenPosition || message.m_nKind == KindPenPosition2) {
        const KtPoint pen{message.m_Payload.point.x, message.m_Payload.point.y};
        m_PenDelta = {pen.x - m_Pen.x, pen.y - m_Pen.y};
        m_Pen = pen;
    }
    if (type == PenDown) m_nButtons |= 1;
    if (type == PenUp) m_nButtons &= ~1;

    // A message sent from inside the handling of another only moves the pen.
    if ((m_Flags & kBusy) != 0) return;
    setFlag(kBusy, true);
    if (type == PenDown) {
        handlePress();
    } else if (type == PenUp) {
        handleRelease();
    } else {
        handleMove();
    }
    setFlag(kBusy, false);
}

void KtTManager::handlePress() {
    if (m_pCurrent != nullptr && m_pCurrent->dispatchLeave() != 0) setFlag(kRedraw, true);
    repick();
    if (m_pCurrent != nullptr && m_pCurrent->dispatchPenDown(m_Pen.x, m_Pen.y) != 0)
        setFlag(kRedraw, true);
}

void KtTManager::handleRelease() {
    if (m_pCurrent != nullptr && m_pCurrent->dispatchPenUp() != 0) setFlag(kRedraw, true);
    repick();
    if (m_pCurrent != nullptr && m_pCurrent->dispatchEnter(m_Pen.x, m_Pen.y) != 0)
        setFlag(kRedraw, true);
}

void KtTManager::handleMove() {
    if ((m_nButtons & 1) != 0) {
        if (m_pCurrent != nullptr)
            setFlag(kRedraw, m_pCurrent->dispatchDrag(m_Pen.x, m_Pen.y) != 0);
    } else if (std::fabs(m_PenDelta.x) > kHoverThreshold ||
               std::fabs(m_PenDelta.y) > kHoverThreshold) {
        if (m_pCurrent != nullptr) m_pCurrent->dispatchLeave();
        KtTObject* previousHit = m_pHit;
        repick();
        if (m_pCurrent != nullptr) m_pCurrent->dispatchEnter(m_Pen.x, m_Pen.y);
        if (m_pHit != previousHit) setFlag(kRedraw, true);
    }
    // The label follows the pen.
    if (m_pHit != nullptr && m_bShowLabels) setFlag(kRedraw, true);
}

void KtTManager::repick() {
    setFlag(kPicking, true);
    KtTObject* picked = pickChildren(m_Pen.x, m_Pen.y, m_PickTolerance.x, m_PickTolerance.y);
    m_pHit = picked == blockedMarker() ? nullptr : picked;
    if (!isObject(picked) && m_pFallback != nullptr && m_pFallback->isPickable() &&
        m_pFallback->isVisible()) {
        m_pHit = m_pFallback;
        m_pFallback->setActive(nullptr);
        KtTObject* visited = m_pFallback;
        for (KtTObject* parent = m_pFallback->m_pParent; parent != nullptr;
             parent = parent->m_pParent) {
            parent->setActive(visited);
            visited = parent;
        }
        setCurrent(visited);
    }
    setFlag(kPicking, false);
}

}  // namespace pattix
