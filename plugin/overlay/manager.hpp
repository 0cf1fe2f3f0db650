// The overlay manager: holds the top-level controls, picks the one under the pen, routes pen
// presses, drags, releases and hover changes to it, and tells when the viewer must be redrawn.
#pragma once

#include <cstdint>

#include "plugin/overlay/message.hpp"
#include "plugin/overlay/overlay_object.hpp"

namespace pattix {

class KtTManager : public KtMessageHandler, public KtTContainer, public KtTDraw {
public:
    // m_Flags bits.
    static constexpr std::uint8_t kRedraw = 1;
    static constexpr std::uint8_t kBusy = 2;
    static constexpr std::uint8_t kPicking = 4;

    // Pen moves of this much or less in both axes are no hover move.
    static constexpr float kHoverThreshold = 0.001f;
    // Where a label is drawn, from the pen.
    static constexpr float kLabelOffset = 8.0f;

    KtTManager() = default;
    // Detaches the whole tree first, so that no control destroyed later reaches back.
    ~KtTManager() override;

    void handleMessage(const KtMessage& message, KtMessageSender* sender) override;
    virtual void getPenPosition(KtPoint& out);
    virtual void getPenDelta(KtPoint& out);
    virtual int isPenDown();
    virtual void draw();

    // Adds a top-level control; 0 for null or one already held.
    int addObject(KtTObject* object);
    // Handles one pen event; answers whether the viewer must be redrawn.
    bool handleEvent(const KtMessage& message);
    // Drops every pointer the manager holds to a control that is going away.
    void forget(KtTObject* object);

    bool redrawNeeded() const { return (m_Flags & kRedraw) != 0; }
    void setFlag(std::uint8_t flag, bool on) {
        m_Flags = static_cast<std::uint8_t>(on ? (m_Flags | flag) : (m_Flags & ~flag));
    }

    KtTObject* m_pHit = nullptr;       // the deepest object the last pick reached
    KtTObject* m_pFallback = nullptr;  // takes the pen when nothing is hit
    KtPoint m_Pen;
    KtPoint m_PenDelta;
    KtPoint m_PickTolerance{3.0f, 3.0f};  // overlay units around the pen that still hit
    std::int32_t m_nButtons = 0;          // bit 0: the pen is down
    std::uint8_t m_Flags = 0;
    bool m_bShowLabels = true;

private:
    void repick();
    void handlePress();
    void handleRelease();
    void handleMove();
};

}  // namespace pattix
