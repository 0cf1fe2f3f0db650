#include "sdk/host/render_context.hpp"

#include "sdk/platform/call_log.hpp"

#include <cmath>

namespace sdk::host {
namespace {

template <class Interface>
HRESULT queryHostObject(Interface* self, REFIID own, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != own) return E_NOINTERFACE;
    self->AddRef();
    *ppv = self;
    return S_OK;
}

}  // namespace

HRESULT HostCoordinateManager::QueryInterface(REFIID riid, void** ppv) {
    return queryHostObject<IDSCoordinateManager>(this, IID_IDSCoordinateManager, riid, ppv);
}

HRESULT HostCoordinateManager::WorldToPixels(double x, double y, double width, double height,
                                             int* px, int* py, int* pwidth, int* pheight) {
    if (auto failure = hostCall("IDSCoordinateManager::WorldToPixels")) return *failure;
    if (px == nullptr || py == nullptr || pwidth == nullptr || pheight == nullptr) {
        return E_POINTER;
    }
    // A geometry with no pixel position (not finite, or beyond what an int holds) is refused
    // rather than converted: converting it would be undefined and yield an arbitrary offset.
    const double scaled[] = {x * m_Scale, y * m_Scale, width * m_Scale, height * m_Scale};
    for (double value : scaled) {
        if (!(std::fabs(value) < 2147483648.0)) return E_INVALIDARG;
    }
    *px = static_cast<int>(scaled[0]);
    *py = static_cast<int>(scaled[1]);
    *pwidth = static_cast<int>(scaled[2]);
    *pheight = static_cast<int>(scaled[3]);
    return S_OK;
}

HRESULT HostExecutionContext::QueryInterface(REFIID riid, void** ppv) {
    return queryHostObject<IDSExecutionContext>(this, IID_IDSExecutionContext, riid, ppv);
}

HRESULT HostExecutionContext::GetTime(double* time) {
    if (time == nullptr) return E_POINTER;
    *time = m_Time;
    return S_OK;
}

BOOL HostExecutionContext::ShouldContinue() {
    // Polled before every row by every render thread: not logged, or a long render would
    // fill the call log with nothing but this.
    return stopRequested() ? FALSE : TRUE;
}

}  // namespace sdk::host
