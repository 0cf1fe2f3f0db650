#include "plugin/effect/kt_ds_effect.hpp"

#include "plugin/module/class_ids.hpp"
#include "sdk/host/viewer.hpp"
#include "sdk/platform/com.hpp"

namespace pattix {
namespace {

// The viewer-controller kind under which effect tools are pushed.
constexpr int kViewerContextEffectTool = 19;

}  // namespace

KtDsEffect::KtDsEffect(CDSImageEffectEx* hostBase) : m_pHostBase(hostBase) {}

KtDsEffect::~KtDsEffect() {
    do {
        popOverlay();
    } while (pushCount() > 0);
}

std::pair<float, float> KtDsEffect::frameOffset(double /*time*/) {
    return {0.0f, 0.0f};
}

HRESULT KtDsEffect::pushOverlay(IUnknown* inspected) {
    if (inspected == nullptr) return E_POINTER;
    if (m_EffectKind == kKindMasked) return S_OK;
    std::lock_guard lock(m_LinkMutex);
    ++m_PushCount;
    if (m_pOverlayTool != nullptr) return S_OK;

    IUnknown* tool = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_KtTInteract, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&tool));
    if (FAILED(hr) || tool == nullptr) return hr;
    // A viewer that cannot show the tool now is not fatal: the tool is kept for the next draw.
    VWControllerPushContext(kViewerContextEffectTool, tool, inspected, nullptr, nullptr, 0.0,
                            &m_ControllerContext);
    void* object = nullptr;
    hr = tool->QueryInterface(CLSID_KtTInteract, &object);
    m_pOverlayTool =
        SUCCEEDED(hr) ? static_cast<KtTInteract*>(static_cast<IUnknown*>(object)) : nullptr;
    if (m_pOverlayTool != nullptr) markOverlayChanged();
    tool->Release();
    return hr;
}

void KtDsEffect::popOverlay() {
    std::lock_guard lock(m_LinkMutex);
    if (m_PushCount > 0) --m_PushCount;
    if (m_PushCount > 0) return;
    if (m_ControllerContext != 0) {
        VWControllerRemoveContext(m_ControllerContext);
        m_ControllerContext = 0;
    }
    if (m_pOverlayTool != nullptr) {
        static_cast<IUnknown*>(m_pOverlayTool)->Release();
        m_pOverlayTool = nullptr;
    }
}

KtRenderGeometry KtDsEffect::renderGeometry() const {
    std::lock_guard lock(m_LinkMutex);
    return {m_OutputFrame, m_SourceRect};
}

KtTInteract* KtDsEffect::overlayTool() const {
    std::lock_guard lock(m_LinkMutex);
    return m_pOverlayTool;
}

std::int32_t KtDsEffect::pushCount() const {
    std::lock_guard lock(m_LinkMutex);
    return m_PushCount;
}

}  // namespace pattix
