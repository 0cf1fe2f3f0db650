// The effect's viewer tool. It exists as a counted object that the host can create through its
// factory and push into a viewer; it keeps the source rectangle the effect hands it and asks the
// viewer to redraw. Its drawing and pen handling come with the viewer-tool work.
#pragma once

#include "plugin/module/class_ids.hpp"
#include "plugin/module/counted_object.hpp"
#include "sdk/host/viewer.hpp"

namespace pattix {

struct KtRectF {
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
};

class KtTInteract final : public CountedObject<KtTInteract, CLSID_KtTInteract>,
                          public CDSInteractiveTool {
public:
    // The help page's "Hide Overlay Controls" switches the drawing off and on; either way the
    // viewer is asked to redraw the tool's layer.
    void SetOverlayVisible(bool visible) {
        m_bOverlayVisible = visible;
        InvalidateLayer(1, nullptr);
    }
    bool IsOverlayVisible() const { return m_bOverlayVisible; }

    KtRectF m_SrcRect;  // the effect's source rectangle, in world units scaled to the project

private:
    bool m_bOverlayVisible = true;  // every new tool starts visible
};

}  // namespace pattix
