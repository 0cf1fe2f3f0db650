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
    KtRectF m_SrcRect;  // the effect's source rectangle, in world units scaled to the project
};

}  // namespace pattix
