// Rendering frames as the host does: an output image it allocates and clears, the render data
// stored in the effect, Verify, then a copy made with Clone that executes every frame.
#pragma once

#include <cstdint>
#include <optional>

#include "apps/host/com_ptr.hpp"
#include "apps/host/effect_instance.hpp"
#include "apps/host/value_parsers.hpp"
#include "sdk/host/image.hpp"
#include "sdk/host/render_context.hpp"

namespace pattix::host {

struct RenderSettings {
    FrameSize size;
    FrameSize world;  // the project's frame world size
    int depth = 8;
    std::optional<PixelRegion> region;  // already clipped to the picture
    int field = DS_FIELD_FRAME;
};

class FrameRenderer {
public:
    // Allocates the output image, verifies the effect against it and clones the effect. Throws
    // RunFailure when memory runs out or the effect refuses. `context` is the one a stop
    // signal reaches; it must outlive the renderer.
    FrameRenderer(EffectInstance& effect, const RenderSettings& settings,
                  sdk::host::HostExecutionContext& context);

    const sdk::host::HostImage& image() const { return *m_Image; }
    sdk::host::HostImage& image() { return *m_Image; }

    // Renders frame `frame` into the image; false when the execution context said stop
    // during it, leaving the image partly drawn.
    bool render(std::int64_t frame) { return render(frame, *m_Image); }
    // Renders into `target`, an image made by createImage(), so that a finished frame can be
    // handed on while the next one is drawn into another image.
    bool render(std::int64_t frame, sdk::host::HostImage& target);

    // A new cleared image like image(): its size, format and world geometry. Throws
    // RunFailure when memory runs out.
    ComPtr<sdk::host::HostImage> createImage() const;

private:
    DSRenderData renderData(sdk::host::HostImage& output);

    RenderSettings m_Settings;
    ComPtr<sdk::host::HostImage> m_Image;
    sdk::host::HostCoordinateManager m_Coordinates;
    sdk::host::HostExecutionContext& m_Context;
    ComPtr<IDSImageEffect> m_Clone;
    CDSImageEffectEx* m_CloneHost = nullptr;
};

}  // namespace pattix::host
