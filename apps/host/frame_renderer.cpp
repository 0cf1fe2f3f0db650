#include "apps/host/frame_renderer.hpp"

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace pattix::host {
namespace {

// The host's frame rate for the time it hands Execute; the patterns do not move.
constexpr double kFramesPerSecond = 25.0;

}  // namespace

FrameRenderer::FrameRenderer(EffectInstance& effect, const RenderSettings& settings,
                             sdk::host::HostExecutionContext& context)
    : m_Effect(effect),
      m_Settings(settings),
      m_Coordinates(static_cast<double>(settings.size.height) / settings.world.height),
      m_Context(context) {
    m_Image = createImage();
    effect.host().SetRenderData(renderData(*m_Image));
    if (const HRESULT hr = effect.effect().Verify(); FAILED(hr)) {
        throw RunFailure(refusal(
            "to render into a " + std::to_string(settings.depth) + "-bit image (Verify)", hr));
    }
    copyEffect();
}

void FrameRenderer::copyEffect() {
    IDSImageEffect* clone = nullptr;
    const HRESULT hr =
        m_Effect.effect().Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&clone));
    if (FAILED(hr) || clone == nullptr)
        throw RunFailure(refusal("to clone", FAILED(hr) ? hr : E_POINTER));
    m_CloneHost = nullptr;
    m_Clone.reset(clone);
    m_CloneHost = sdk::host::effectBase(clone);
    if (m_CloneHost == nullptr)
        throw RunFailure(refusal("the clone's host identity", E_NOINTERFACE));
}

ComPtr<sdk::host::HostImage> FrameRenderer::createImage() const {
    const FrameSize size = m_Settings.size;
    const GUID& format = m_Settings.depth == 16 ? MFIF_RGBA_S2_14 : MFIF_RGBA_RAW_32;
    ComPtr<sdk::host::HostImage> image(
        sdk::host::HostImage::create(size.width, size.height, format));
    if (!image) {
        throw RunFailure("not enough memory for a " + std::to_string(size.width) + "x" +
                         std::to_string(size.height) + " " + std::to_string(m_Settings.depth) +
                         "-bit frame");
    }
    image->setWorldGeometry(0.0, 0.0, m_Settings.world.width, m_Settings.world.height);
    return image;
}

DSRenderData FrameRenderer::renderData(sdk::host::HostImage& output) {
    DSRenderData data;
    data.output = &output;
    if (m_Settings.region) {
        const PixelRegion& r = *m_Settings.region;
        data.region = {r.x, r.y, r.width, r.height};
        data.regionSet = true;
    }
    data.field = m_Settings.field;
    data.coordinates = &m_Coordinates;
    data.context = &m_Context;
    return data;
}

bool FrameRenderer::render(std::int64_t frame, sdk::host::HostImage& target) {
    const double time = static_cast<double>(frame) / kFramesPerSecond;
    m_Context.setTime(time);
    m_CloneHost->SetRenderData(renderData(target));
    if (const HRESULT hr = m_Clone->Execute(time); FAILED(hr)) {
        throw RunFailure(refusal("to render frame " + std::to_string(frame), hr));
    }
    return !m_Context.stopRequested();
}

}  // namespace pattix::host
