#include "plugin/overlay/interactive_tool.hpp"

#include <GL/gl.h>

#include <cmath>
#include <limits>

#include "plugin/module/class_ids.hpp"
#include "plugin/module/module_state.hpp"
#include "plugin/module/project_value.hpp"

namespace pattix {
namespace {

// Every attribute group of OpenGL 1.1.
constexpr GLbitfield kAllAttributeGroups = 0xFFFFF;
// The viewer's depth range around the picture plane.
constexpr double kNear = -100.0;
constexpr double kFar = 100.0;
// The pick tolerance: this many screen pixels around the pen.
constexpr double kPickPixels = 4.0;

// A frame size in whole pixels: truncated toward zero, and 0 for a size that is not a positive
// finite number.
std::int32_t wholePixels(double size) {
    if (!(size > 0.0) || !std::isfinite(size)) return 0;
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return size >= kMax ? std::numeric_limits<std::int32_t>::max()
                        : static_cast<std::int32_t>(size);
}

bool positiveFinite(double value) {
    return value > 0.0 && std::isfinite(value);
}

// The value as a float, when it has a finite one.
bool asFiniteFloat(double value, float& out) {
    if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return false;
    out = static_cast<float>(value);
    return true;
}

}  // namespace

KtTInteract::KtTInteract() : m_bCounted(ClassCounter<KtTInteract>::increment()) {
    readProjectFrame();
    const KtPoint centre{static_cast<float>(m_nFrameWidth) * 0.5f,
                         static_cast<float>(m_nFrameHeight) * 0.5f};
    for (KtT2DAxisGroup* axis : {&m_FrameCentre, &m_SrcCentre}) {
        axis->followCentre(centre);
        if (!axis->isVisible()) axis->setState(axis->m_nState | KtTObject::kVisible);
        // The axes keep their centre and extent but show and catch nothing of their own.
        axis->m_bOwnWidgetShown = false;
        axis->updateBounds();
        addObject(axis);
    }
    m_SrcRect = {0.0f, 0.0f, static_cast<float>(m_nFrameWidth), static_cast<float>(m_nFrameHeight)};
    m_ViewZero.m_GroupFlags = static_cast<std::uint8_t>(
        m_ViewZero.m_GroupFlags & ~(KtTGroup::kDrawBackground | KtTGroup::kOpaque));
    addObject(&m_ViewZero);
}

// Overlay units are frame pixels: the frame is H pixels high and W wide, and s world units
// make one pixel. A project value that cannot be read counts as 0; where that (or a size that
// is not a positive number) would divide by zero, the scale is 1 and the frame keeps the user
// size it could read, so that nothing non-finite reaches the overlay or OpenGL.
void KtTInteract::readProjectFrame() {
    double userX = 0.0, userY = 0.0, worldX = 0.0, worldY = 0.0;
    readProjectValue(sdk::host::kFrameUserSizeX, userX);
    readProjectValue(sdk::host::kFrameUserSizeY, userY);
    readProjectValue(sdk::host::kFrameWorldSizeX, worldX);
    readProjectValue(sdk::host::kFrameWorldSizeY, worldY);

    float scale = 0.0f;
    const bool scaled = positiveFinite(userY) && positiveFinite(worldY) &&
                        asFiniteFloat(worldY / userY, scale) && scale > 0.0f;
    m_fPixelScale = scaled ? scale : 1.0f;
    m_nFrameHeight = wholePixels(userY);
    m_nFrameWidth = wholePixels(scaled ? (userX * userY) / worldY : userX);
}

KtTInteract::~KtTInteract() {
    if (m_nFontLists != 0) {
        // Text drawn after this tool is gone must not call into the freed range.
        if (fontLists() == m_nFontLists) setFontLists(0);
        deleteFontLists(m_nFontLists);
        m_nFontLists = 0;
    }
    if (m_bCounted) ClassCounter<KtTInteract>::decrement();
}

HRESULT KtTInteract::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == CLSID_KtTInteract) {
        AddRef();
        *ppv = static_cast<IUnknown*>(this);
        return S_OK;
    }
    return CDSInteractiveTool::QueryInterface(riid, ppv);
}

HRESULT KtTInteract::aggregate(void* /*outer*/) {
    return CLASS_E_NOAGGREGATION;
}

// --- drawing --------------------------------------------------------------------------------

HRESULT KtTInteract::OnRender(sdk::host::ViewerSurface* surface) {
    if (surface == nullptr) return E_POINTER;
    VWSurfaceInfo info;
    if (IsOverlayVisible() && SUCCEEDED(vwSurfaceBeginRenderOpenGL(surface, &info))) {
        // Four screen pixels in world units. A surface with no pixels or no visible region
        // gives no finite tolerance and no valid projection: nothing is drawn on it.
        KtPoint tolerance;
        if (info.viewportWidth >= 1 && info.viewportHeight >= 1 && positiveFinite(info.width) &&
            positiveFinite(info.height) && std::isfinite(info.left + info.width) &&
            std::isfinite(info.bottom + info.height) &&
            asFiniteFloat(kPickPixels * info.width / info.viewportWidth, tolerance.x) &&
            asFiniteFloat(kPickPixels * info.height / info.viewportHeight, tolerance.y)) {
            drawOverlay(info, tolerance);
        }
        vwSurfaceEndRenderOpenGL(surface);
    }
    return CDSInteractiveTool::OnRender(surface);
}

void KtTInteract::drawOverlay(const VWSurfaceInfo& surface, const KtPoint& tolerance) {
    if (m_nFontLists == 0) m_nFontLists = buildFontLists(wglGetCurrentDC());
    setFontLists(m_nFontLists);

    glPushAttrib(kAllAttributeGroups);
    glClearColor(OverlayGrey.r, OverlayGrey.g, OverlayGrey.b, 0.0f);
    glShadeModel(GL_FLAT);
    glEnable(GL_LINE_STIPPLE);
    glViewport(0, 0, surface.viewportWidth - 1, surface.viewportHeight - 1);
    glLoadIdentity();
    glOrtho(surface.left, surface.left + surface.width, surface.bottom,
            surface.bottom + surface.height, kNear, kFar);
    glScalef(m_fPixelScale, m_fPixelScale, 1.0f);
    m_PickTolerance = tolerance;
    {
        std::lock_guard lock(m_SourceMutex);
        draw();
    }
    glPopAttrib();
}

// --- the pen --------------------------------------------------------------------------------

bool KtTInteract::deliverPen(std::int32_t type, const VWPenEvent& event) {
    KtPoint point;
    if (!asFiniteFloat(event.x / m_fPixelScale, point.x) ||
        !asFiniteFloat(event.y / m_fPixelScale, point.y))
        return false;
    KtMessage message(type);
    message.setPoint(point.x, point.y);
    bool redraw = false;
    {
        std::lock_guard lock(m_SourceMutex);
        redraw = handleEvent(message);
    }
    if (redraw) InvalidateLayer(kOverlayLayer, nullptr);
    return true;
}

HRESULT KtTInteract::OnPenDown(const VWPenEvent* event) {
    if (event != nullptr && IsOverlayVisible() && event->button == 1 && deliverPen(PenDown, *event))
        return OnBeginInteraction(event);
    return CDSInteractiveTool::OnPenDown(event);
}

HRESULT KtTInteract::OnPenMove(const VWPenEvent* event) {
    if (event != nullptr && IsOverlayVisible() && deliverPen(PenMove, *event))
        return OnDoInteraction(event);
    return CDSInteractiveTool::OnPenMove(event);
}

HRESULT KtTInteract::OnPenUp(const VWPenEvent* event) {
    if (event != nullptr && IsOverlayVisible() && event->button == 1 && deliverPen(PenUp, *event))
        return TerminateInteraction();
    return CDSInteractiveTool::OnPenUp(event);
}

// --- notifications --------------------------------------------------------------------------

HRESULT KtTInteract::OnPropertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender,
                                       void* parameters, DWORD flags) {
    const HRESULT hr = CDSInteractiveTool::OnPropertyChanged(id, value, sender, parameters, flags);
    if (FAILED(hr)) return hr;
    bool redraw = false;
    KtTDsObject* listener = nullptr;
    m_Listeners.start();
    while (m_Listeners.next(listener)) {
        if (listener->propertyChanged(id, value) != 0) redraw = true;
    }
    if (redraw) InvalidateLayer(kOverlayLayer, nullptr);
    return hr;
}

HRESULT KtTInteract::OnOnTimeChange(double time) {
    if (GetOperator() == nullptr) return S_OK;
    const HRESULT hr = CDSInteractiveTool::OnOnTimeChange(time);
    if (FAILED(hr)) return hr;
    KtTDsObject* listener = nullptr;
    m_Listeners.start();
    while (m_Listeners.next(listener)) listener->timeChanged(time);
    InvalidateLayer(kOverlayLayer, nullptr);
    return hr;
}

// --- links ----------------------------------------------------------------------------------

HRESULT KtTInteract::OnLinkToOperator(IUnknown* op) {
    const HRESULT hr = CDSInteractiveTool::OnLinkToOperator(op);
    if (FAILED(hr) && GetOperator() != nullptr) CDSInteractiveTool::OnUnlinkFromOperator();
    return hr;
}

HRESULT KtTInteract::OnUnlinkFromOperator() {
    return CDSInteractiveTool::OnUnlinkFromOperator();
}

HRESULT KtTInteract::OnLinkToViewer(sdk::host::Viewer* viewer) {
    const HRESULT hr = CDSInteractiveTool::OnLinkToViewer(viewer);
    if (FAILED(hr)) {
        if (GetViewer() != nullptr) CDSInteractiveTool::OnUnlinkFromViewer();
        return hr;
    }
    InvalidateLayer(kOverlayLayer, nullptr);
    return hr;
}

HRESULT KtTInteract::OnUnlinkFromViewer() {
    InvalidateRect(GetViewerWindow(), nullptr, FALSE);
    InvalidateLayer(kOverlayLayer, nullptr);
    return CDSInteractiveTool::OnUnlinkFromViewer();
}

}  // namespace pattix
