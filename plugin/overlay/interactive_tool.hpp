// The effect's viewer tool: the host's interactive tool and, at the same time, the manager of
// the overlay it draws into the viewer. It follows the project frame and the effect's source
// rectangle with two axis groups, draws the overlay in the viewer's OpenGL pass, and turns the
// host's pen events into overlay messages in frame pixels. Its controls are configured to draw
// nothing and to catch no pen, and nothing is ever written back to the effect.
#pragma once

#include <cstdint>
#include <mutex>

#include "plugin/overlay/axis.hpp"
#include "plugin/overlay/kt_list.hpp"
#include "plugin/overlay/manager.hpp"
#include "sdk/host/viewer.hpp"

namespace pattix {

struct KtRectF {
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
};

// Told of the property and time changes the tool receives.
class KtTDsObject {
public:
    virtual ~KtTDsObject() = default;
    // Non-zero when the change needs the overlay redrawn.
    virtual int propertyChanged(REFGUID id, const VARIANT* value) = 0;
    virtual void timeChanged(double time) = 0;
};

class KtTInteract final : public CDSInteractiveTool, public KtTManager {
public:
    // The viewer layer the overlay is drawn in.
    static constexpr int kOverlayLayer = 1;

    // Takes the frame size from the project.
    KtTInteract();
    ~KtTInteract() override;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT OnRender(sdk::host::ViewerSurface* surface) override;
    HRESULT OnPropertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender, void* parameters,
                              DWORD flags) override;
    HRESULT OnOnTimeChange(double time) override;
    HRESULT OnPenDown(const VWPenEvent* event) override;
    HRESULT OnPenMove(const VWPenEvent* event) override;
    HRESULT OnPenUp(const VWPenEvent* event) override;
    HRESULT OnLinkToOperator(IUnknown* op) override;
    HRESULT OnUnlinkFromOperator() override;
    HRESULT OnLinkToViewer(sdk::host::Viewer* viewer) override;
    HRESULT OnUnlinkFromViewer() override;
    virtual HRESULT aggregate(void* outer);

    // The help page's "Hide Overlay Controls" switches the drawing off and on; either way the
    // viewer is asked to redraw the tool's layer.
    void SetOverlayVisible(bool visible) {
        m_bOverlayVisible = visible ? 1 : 0;
        InvalidateLayer(kOverlayLayer, nullptr);
    }
    bool IsOverlayVisible() const { return m_bOverlayVisible != 0; }

    // Guards m_SrcRect and m_SrcCentre: the effect moves them from its render threads while
    // the viewer draws and picks them.
    std::recursive_mutex& sourceLock() const { return m_SourceMutex; }

    std::int32_t m_nFrameWidth = 0;   // W: the project frame in overlay units (frame pixels)
    std::int32_t m_nFrameHeight = 0;  // H
    float m_fPixelScale = 1.0f;       // s: world units per overlay unit
    std::uint8_t m_bOverlayVisible : 1 = 1;
    unsigned int m_nFontLists = 0;  // built on the first drawing pass
    KtT2DAxisGroup m_FrameCentre{"Frame Centre", KtT2DAxis::kCentre};
    KtT2DAxisGroup m_SrcCentre{"Src Centre", KtT2DAxis::kCentre};
    KtTGroup m_ViewZero{"View Zero"};
    KtRectF m_SrcRect;  // the effect's source rectangle as last handed over
    bool m_bCounted;
    KtList<KtTDsObject*> m_Listeners;

private:
    void readProjectFrame();
    void drawOverlay(const VWSurfaceInfo& surface, const KtPoint& tolerance);
    // Hands a pen event to the manager as a message in frame pixels; false when the position
    // has no finite place there.
    bool deliverPen(std::int32_t type, const VWPenEvent& event);

    mutable std::recursive_mutex m_SourceMutex;
};

}  // namespace pattix
