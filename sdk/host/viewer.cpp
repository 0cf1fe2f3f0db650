#include "sdk/host/viewer.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "sdk/platform/call_log.hpp"

namespace sdk::host {
namespace {

struct Controller {
    std::mutex mutex;
    std::vector<ViewerContext> contexts;
    DWORD nextId = 1;
    Viewer* current = nullptr;
};

Controller& controller() {
    static Controller instance;
    return instance;
}

IDSInteractiveTool* asTool(IUnknown* object) {
    void* tool = nullptr;
    if (FAILED(object->QueryInterface(IID_IDSInteractiveTool, &tool))) return nullptr;
    return static_cast<IDSInteractiveTool*>(tool);
}

}  // namespace

std::vector<ViewerContext> viewerContexts() {
    std::lock_guard lock(controller().mutex);
    return controller().contexts;
}

void setCurrentViewer(Viewer* viewer) {
    std::lock_guard lock(controller().mutex);
    controller().current = viewer;
}

Viewer* currentViewer() {
    std::lock_guard lock(controller().mutex);
    return controller().current;
}

// --- surfaces -----------------------------------------------------------------------------

ViewerSurface::ViewerSurface(std::function<bool()> makeCurrent, std::function<void()> doneCurrent)
    : m_MakeCurrent(std::move(makeCurrent)), m_DoneCurrent(std::move(doneCurrent)) {}

// --- viewer -------------------------------------------------------------------------------

Viewer::Viewer(int width, int height)
    : m_pWindow(createWindow(nullptr, std::make_unique<Window>())),
      m_View{width, height, 0.0, 0.0, static_cast<double>(width), static_cast<double>(height)} {
    m_pWindow->className = L"DSViewer";
    m_pWindow->rect = {0, 0, width, height};
}

Viewer::~Viewer() {
    for (IDSInteractiveTool* tool : heldTools()) {
        unlinkTool(tool);
        tool->Release();
    }
    {
        Controller& c = controller();
        std::lock_guard lock(c.mutex);
        for (ViewerContext& context : c.contexts) {
            if (context.viewer == this) context.viewer = nullptr;
        }
        if (c.current == this) c.current = nullptr;
    }
    DestroyWindow(m_pWindow);
}

void Viewer::setView(const VWSurfaceInfo& view) {
    {
        std::lock_guard lock(m_Mutex);
        m_View = view;
    }
    m_pWindow->rect = {0, 0, view.viewportWidth, view.viewportHeight};
    InvalidateRect(m_pWindow, nullptr, FALSE);
}

VWSurfaceInfo Viewer::view() const {
    std::lock_guard lock(m_Mutex);
    return m_View;
}

VWPenEvent Viewer::penAt(LONG button, double pixelX, double pixelY) const {
    const VWSurfaceInfo v = view();
    const double w = v.viewportWidth > 0 ? v.viewportWidth : 1;
    const double h = v.viewportHeight > 0 ? v.viewportHeight : 1;
    return {button, v.left + pixelX * v.width / w, v.bottom + (h - pixelY) * v.height / h};
}

HRESULT Viewer::linkTool(IDSInteractiveTool* tool, IUnknown* op) {
    if (tool == nullptr) return E_POINTER;
    if (isLinked(tool)) return S_FALSE;
    HRESULT hr = tool->OnLinkToOperator(op);
    if (FAILED(hr)) return hr;
    hr = tool->OnLinkToViewer(this);
    if (FAILED(hr)) {
        tool->OnUnlinkFromOperator();
        return hr;
    }
    tool->AddRef();
    std::lock_guard lock(m_Mutex);
    m_Tools.push_back(tool);
    return S_OK;
}

HRESULT Viewer::unlinkTool(IDSInteractiveTool* tool) {
    {
        std::lock_guard lock(m_Mutex);
        const auto it = std::find(m_Tools.begin(), m_Tools.end(), tool);
        if (it == m_Tools.end()) return S_FALSE;
        m_Tools.erase(it);
    }
    const HRESULT viewerResult = tool->OnUnlinkFromViewer();
    const HRESULT operatorResult = tool->OnUnlinkFromOperator();
    tool->Release();
    if (FAILED(viewerResult)) return viewerResult;
    return FAILED(operatorResult) ? operatorResult : S_OK;
}

bool Viewer::isLinked(const IDSInteractiveTool* tool) const {
    std::lock_guard lock(m_Mutex);
    return std::find(m_Tools.begin(), m_Tools.end(), tool) != m_Tools.end();
}

std::size_t Viewer::toolCount() const {
    std::lock_guard lock(m_Mutex);
    return m_Tools.size();
}

void Viewer::invalidateLayer(int layer) {
    std::lock_guard lock(m_Mutex);
    ++m_PendingRedraws[layer];
}

int Viewer::pendingRedraws(int layer) const {
    std::lock_guard lock(m_Mutex);
    const auto it = m_PendingRedraws.find(layer);
    return it == m_PendingRedraws.end() ? 0 : it->second;
}

bool Viewer::needsRedraw() const {
    std::lock_guard lock(m_Mutex);
    m_nWindowRedraws += takeInvalidations(m_pWindow);
    return m_nWindowRedraws > 0 || !m_PendingRedraws.empty();
}

std::vector<IDSInteractiveTool*> Viewer::heldTools() const {
    std::lock_guard lock(m_Mutex);
    for (IDSInteractiveTool* tool : m_Tools) tool->AddRef();
    return m_Tools;
}

void Viewer::releaseAll(const std::vector<IDSInteractiveTool*>& tools) {
    for (IDSInteractiveTool* tool : tools) tool->Release();
}

HRESULT Viewer::render(ViewerSurface& surface) {
    {
        // Redraws asked while the tools draw are for the next frame.
        std::lock_guard lock(m_Mutex);
        m_PendingRedraws.clear();
        takeInvalidations(m_pWindow);
        m_nWindowRedraws = 0;
        surface.info = m_View;
    }
    const std::vector<IDSInteractiveTool*> tools = heldTools();
    HRESULT result = S_OK;
    for (IDSInteractiveTool* tool : tools) {
        const HRESULT hr = tool->OnRender(&surface);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    releaseAll(tools);
    return result;
}

template <class Call>
HRESULT Viewer::routePen(Call call) {
    const std::vector<IDSInteractiveTool*> tools = heldTools();
    HRESULT result = S_FALSE;
    for (auto it = tools.rbegin(); it != tools.rend() && result == S_FALSE; ++it) {
        result = call(*it);
    }
    releaseAll(tools);
    return result;
}

HRESULT Viewer::penDown(const VWPenEvent& event) {
    return routePen([&](IDSInteractiveTool* tool) { return tool->OnPenDown(&event); });
}

HRESULT Viewer::penMove(const VWPenEvent& event) {
    return routePen([&](IDSInteractiveTool* tool) { return tool->OnPenMove(&event); });
}

HRESULT Viewer::penUp(const VWPenEvent& event) {
    return routePen([&](IDSInteractiveTool* tool) { return tool->OnPenUp(&event); });
}

void Viewer::timeChanged(double time) {
    const std::vector<IDSInteractiveTool*> tools = heldTools();
    for (IDSInteractiveTool* tool : tools) tool->OnOnTimeChange(time);
    releaseAll(tools);
}

void Viewer::propertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender) {
    const std::vector<IDSInteractiveTool*> tools = heldTools();
    for (IDSInteractiveTool* tool : tools) tool->OnPropertyChanged(id, value, sender, nullptr, 0);
    releaseAll(tools);
}

}  // namespace sdk::host

// --- the viewer controller --------------------------------------------------------------------

extern "C" HRESULT VWControllerPushContext(int kind, IUnknown* tool, IUnknown* inspected,
                                           void* /*reserved1*/, void* /*reserved2*/,
                                           double /*time*/, DWORD* contextId) {
    if (auto failure = sdk::hostCall("VWControllerPushContext")) return *failure;
    if (tool == nullptr || contextId == nullptr) return E_POINTER;
    auto& c = sdk::host::controller();
    sdk::host::Viewer* viewer =
        kind == VWCONTEXT_EFFECT_TOOL ? sdk::host::currentViewer() : nullptr;
    if (viewer != nullptr) {
        IDSInteractiveTool* viewerTool = sdk::host::asTool(tool);
        if (viewerTool == nullptr) {
            viewer = nullptr;  // not a viewer tool: shown nowhere, still kept
        } else {
            const HRESULT hr = viewer->linkTool(viewerTool, inspected);
            viewerTool->Release();
            if (FAILED(hr)) return hr;
        }
    }
    tool->AddRef();
    std::lock_guard lock(c.mutex);
    *contextId = c.nextId++;
    c.contexts.push_back({*contextId, kind, tool, inspected, viewer});
    return S_OK;
}

extern "C" HRESULT VWControllerRemoveContext(DWORD contextId) {
    if (auto failure = sdk::hostCall("VWControllerRemoveContext")) return *failure;
    sdk::host::ViewerContext context{};
    {
        auto& c = sdk::host::controller();
        std::lock_guard lock(c.mutex);
        const auto it = std::find_if(c.contexts.begin(), c.contexts.end(),
                                     [&](const auto& each) { return each.id == contextId; });
        if (it == c.contexts.end()) return E_INVALIDARG;
        context = *it;
        c.contexts.erase(it);
    }
    if (context.viewer != nullptr) {
        if (IDSInteractiveTool* viewerTool = sdk::host::asTool(context.tool)) {
            context.viewer->unlinkTool(viewerTool);
            viewerTool->Release();
        }
    }
    context.tool->Release();
    return S_OK;
}

// --- surfaces -----------------------------------------------------------------------------

extern "C" HRESULT vwSurfaceBeginRenderOpenGL(sdk::host::ViewerSurface* surface,
                                              VWSurfaceInfo* info) {
    if (auto failure = sdk::hostCall("vwSurfaceBeginRenderOpenGL")) return *failure;
    if (surface == nullptr || info == nullptr) return E_POINTER;
    if (surface->m_bBegun) return E_UNEXPECTED;
    if (!surface->m_MakeCurrent || !surface->m_MakeCurrent()) return E_FAIL;
    // Tools replace the current matrix and set their own viewport; all of it comes back at
    // the end, whatever the host had on its matrix stacks.
    glGetIntegerv(GL_VIEWPORT, surface->m_SavedViewport);
    glGetIntegerv(GL_MATRIX_MODE, &surface->m_nSavedMatrixMode);
    glGetDoublev(GL_PROJECTION_MATRIX, surface->m_SavedProjection);
    glGetDoublev(GL_MODELVIEW_MATRIX, surface->m_SavedModelView);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    surface->m_bBegun = true;
    *info = surface->info;
    return S_OK;
}

extern "C" HRESULT vwSurfaceEndRenderOpenGL(sdk::host::ViewerSurface* surface) {
    if (auto failure = sdk::hostCall("vwSurfaceEndRenderOpenGL")) return *failure;
    if (surface == nullptr) return E_POINTER;
    if (!surface->m_bBegun) return E_UNEXPECTED;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(surface->m_SavedProjection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(surface->m_SavedModelView);
    glMatrixMode(static_cast<GLenum>(surface->m_nSavedMatrixMode));
    const int* v = surface->m_SavedViewport;
    glViewport(v[0], v[1], v[2], v[3]);
    surface->m_bBegun = false;
    if (surface->m_DoneCurrent) surface->m_DoneCurrent();
    return S_OK;
}

// --- the tool base ------------------------------------------------------------------------

CDSInteractiveTool::CDSInteractiveTool() = default;
CDSInteractiveTool::~CDSInteractiveTool() = default;

HRESULT CDSInteractiveTool::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDSInteractiveTool) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IDSInteractiveTool*>(this);
    return S_OK;
}

ULONG CDSInteractiveTool::AddRef() {
    return ++m_cRef;
}

ULONG CDSInteractiveTool::Release() {
    const ULONG left = --m_cRef;
    if (left == 0) delete this;
    return left;
}

HRESULT CDSInteractiveTool::OnRender(sdk::host::ViewerSurface* surface) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnRender")) return *failure;
    return surface != nullptr ? S_OK : E_POINTER;
}

HRESULT CDSInteractiveTool::OnPropertyChanged(REFGUID /*id*/, const VARIANT* /*value*/,
                                              IUnknown* /*sender*/, void* /*parameters*/,
                                              DWORD /*flags*/) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnPropertyChanged")) return *failure;
    return S_OK;
}

HRESULT CDSInteractiveTool::OnOnTimeChange(double /*time*/) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnOnTimeChange")) return *failure;
    return S_OK;
}

HRESULT CDSInteractiveTool::OnPenDown(const VWPenEvent* event) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnPenDown")) return *failure;
    return event != nullptr ? S_FALSE : E_POINTER;
}

HRESULT CDSInteractiveTool::OnPenMove(const VWPenEvent* event) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnPenMove")) return *failure;
    return event != nullptr ? S_FALSE : E_POINTER;
}

HRESULT CDSInteractiveTool::OnPenUp(const VWPenEvent* event) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnPenUp")) return *failure;
    return event != nullptr ? S_FALSE : E_POINTER;
}

HRESULT CDSInteractiveTool::OnLinkToOperator(IUnknown* op) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnLinkToOperator")) return *failure;
    if (op == nullptr) return E_POINTER;
    std::lock_guard lock(m_LinkMutex);
    m_pOperator = op;
    return S_OK;
}

HRESULT CDSInteractiveTool::OnUnlinkFromOperator() {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnUnlinkFromOperator")) return *failure;
    std::lock_guard lock(m_LinkMutex);
    return std::exchange(m_pOperator, nullptr) != nullptr ? S_OK : S_FALSE;
}

HRESULT CDSInteractiveTool::OnLinkToViewer(sdk::host::Viewer* viewer) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnLinkToViewer")) return *failure;
    if (viewer == nullptr) return E_POINTER;
    std::lock_guard lock(m_LinkMutex);
    m_pViewer = viewer;
    return S_OK;
}

HRESULT CDSInteractiveTool::OnUnlinkFromViewer() {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnUnlinkFromViewer")) return *failure;
    std::lock_guard lock(m_LinkMutex);
    m_bInteracting = false;
    return std::exchange(m_pViewer, nullptr) != nullptr ? S_OK : S_FALSE;
}

HRESULT CDSInteractiveTool::OnBeginInteraction(const VWPenEvent* event) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnBeginInteraction")) return *failure;
    if (event == nullptr) return E_POINTER;
    std::lock_guard lock(m_LinkMutex);
    m_bInteracting = true;
    return S_OK;
}

HRESULT CDSInteractiveTool::OnDoInteraction(const VWPenEvent* event) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::OnDoInteraction")) return *failure;
    return event != nullptr ? S_OK : E_POINTER;
}

HRESULT CDSInteractiveTool::TerminateInteraction() {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::TerminateInteraction")) return *failure;
    std::lock_guard lock(m_LinkMutex);
    m_bInteracting = false;
    return S_OK;
}

HRESULT CDSInteractiveTool::InvalidateLayer(int layer, void* /*rect*/) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::InvalidateLayer")) return *failure;
    std::lock_guard lock(m_LinkMutex);
    if (m_pViewer == nullptr) return S_FALSE;
    m_pViewer->invalidateLayer(layer);
    return S_OK;
}

HWND CDSInteractiveTool::GetViewerWindow() const {
    std::lock_guard lock(m_LinkMutex);
    return m_pViewer != nullptr ? m_pViewer->window() : nullptr;
}

IUnknown* CDSInteractiveTool::GetOperator() const {
    std::lock_guard lock(m_LinkMutex);
    return m_pOperator;
}

sdk::host::Viewer* CDSInteractiveTool::GetViewer() const {
    std::lock_guard lock(m_LinkMutex);
    return m_pViewer;
}

bool CDSInteractiveTool::IsInteracting() const {
    std::lock_guard lock(m_LinkMutex);
    return m_bInteracting;
}
