// The host viewer's side of the overlay.
//
// A host that shows pictures owns one or more `sdk::host::Viewer` objects. A viewer owns its
// window (an sdk window, so tools can ask for it and invalidate it), the part of the picture it
// shows (viewport in pixels, visible region in world units), and the interactive tools linked
// to it. It:
//   - links and unlinks tools (an operator, the object a tool edits, and the viewer itself),
//   - counts the redraws tools ask of its layers (`InvalidateLayer`) and of its window
//     (`InvalidateRect`); `needsRedraw` tells the host, and `render` honours them all,
//   - draws every linked tool onto a `ViewerSurface` (`render`, in link order),
//   - hands pen events, in world units, to the tools from the last linked to the first, until
//     one takes the event; S_FALSE from every tool leaves the event to the host's own handling,
//   - passes time and property changes on to its tools.
//
// A `ViewerSurface` is where a viewer draws: a callback that makes an OpenGL context current
// (an EGL pbuffer in headless tests, the host window's context in an interactive host) and the
// surface's description. `vwSurfaceBeginRenderOpenGL` makes it current, saves the viewport and
// both matrices and leaves identity matrices with the model-view one current, and describes
// the surface; `vwSurfaceEndRenderOpenGL` puts back what was saved.
//
// The viewer controller shows tools for the objects the user inspects. While a viewer is
// registered as the current one (`setCurrentViewer`), a context of kind
// `VWCONTEXT_EFFECT_TOOL` pushed into the controller links its tool to that viewer with the
// inspected object as operator, and removing the context unlinks the tool before the
// controller lets go of it. A push whose link fails keeps nothing and reports the failure.
// A viewer that goes away unlinks its tools; their contexts stay pushed.
//
// Tools and the controller may be called from any thread; a viewer's rendering, pen and
// linking calls come from the host's viewer thread. No lock of the viewer is held while it
// calls into a tool, so a tool may ask for redraws from inside any call.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "sdk/platform/unknown.hpp"
#include "sdk/platform/variant.hpp"
#include "sdk/platform/window.hpp"

namespace sdk::host {
class Viewer;
class ViewerSurface;
}  // namespace sdk::host

// The controller context kind under which an effect's tool is shown.
inline constexpr int VWCONTEXT_EFFECT_TOOL = 19;

// A pen event: button 1 is the main button; the position is in world units.
struct VWPenEvent {
    LONG button = 0;
    double x = 0.0;
    double y = 0.0;
};

// What a surface looks like while a tool draws on it: the viewport in pixels and the part of
// the picture it shows, in world units.
struct VWSurfaceInfo {
    int viewportWidth = 0;
    int viewportHeight = 0;
    double left = 0.0;
    double bottom = 0.0;
    double width = 0.0;
    double height = 0.0;
};

extern "C" {
SDK_API HRESULT VWControllerPushContext(int kind, IUnknown* tool, IUnknown* inspected,
                                        void* reserved1, void* reserved2, double time,
                                        DWORD* contextId);
SDK_API HRESULT VWControllerRemoveContext(DWORD contextId);

// E_POINTER for a null surface or description; E_FAIL when the context cannot be made
// current; E_UNEXPECTED when the surface is already begun.
SDK_API HRESULT vwSurfaceBeginRenderOpenGL(sdk::host::ViewerSurface* surface, VWSurfaceInfo* info);
// E_UNEXPECTED when the surface was not begun.
SDK_API HRESULT vwSurfaceEndRenderOpenGL(sdk::host::ViewerSurface* surface);
}

inline constexpr IID IID_IDSInteractiveTool = sdk::guid("6A3E1B26-5D0C-4F7B-9A41-2C1E0F7D3B01");

// What the viewer asks of a tool: the host's viewer-layer, viewer-event, property-notify and
// time-notify interfaces in one.
struct IDSInteractiveTool : IUnknown {
    virtual HRESULT OnRender(sdk::host::ViewerSurface* surface) = 0;
    virtual HRESULT OnPropertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender,
                                      void* parameters, DWORD flags) = 0;
    virtual HRESULT OnOnTimeChange(double time) = 0;
    // S_FALSE: the tool leaves the event to the viewer's own handling.
    virtual HRESULT OnPenDown(const VWPenEvent* event) = 0;
    virtual HRESULT OnPenMove(const VWPenEvent* event) = 0;
    virtual HRESULT OnPenUp(const VWPenEvent* event) = 0;
    virtual HRESULT OnLinkToOperator(IUnknown* op) = 0;
    virtual HRESULT OnUnlinkFromOperator() = 0;
    virtual HRESULT OnLinkToViewer(sdk::host::Viewer* viewer) = 0;
    virtual HRESULT OnUnlinkFromViewer() = 0;

protected:
    ~IDSInteractiveTool() = default;
};

// Base of the viewer tools: reference counting, the operator and viewer links, and the
// host's own handling that a tool falls back on. The operator is not held (the object that
// pushed the tool unlinks it before it goes); the viewer holds the tool while linked.
class SDK_API CDSInteractiveTool : public IDSInteractiveTool {
public:
    CDSInteractiveTool();
    CDSInteractiveTool(const CDSInteractiveTool&) = delete;
    CDSInteractiveTool& operator=(const CDSInteractiveTool&) = delete;
    virtual ~CDSInteractiveTool();

    // IUnknown and IID_IDSInteractiveTool.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // Nothing of its own to draw: S_OK.
    HRESULT OnRender(sdk::host::ViewerSurface* surface) override;
    HRESULT OnPropertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender, void* parameters,
                              DWORD flags) override;
    HRESULT OnOnTimeChange(double time) override;
    // The viewer's own handling (S_FALSE): the tool does not take the event.
    HRESULT OnPenDown(const VWPenEvent* event) override;
    HRESULT OnPenMove(const VWPenEvent* event) override;
    HRESULT OnPenUp(const VWPenEvent* event) override;
    // E_POINTER for null; a second link replaces the first.
    HRESULT OnLinkToOperator(IUnknown* op) override;
    // S_FALSE when not linked.
    HRESULT OnUnlinkFromOperator() override;
    HRESULT OnLinkToViewer(sdk::host::Viewer* viewer) override;
    HRESULT OnUnlinkFromViewer() override;

    // A tool that takes a pen press begins an interaction, which holds the pen until it is
    // terminated; each move in between is one step of it.
    virtual HRESULT OnBeginInteraction(const VWPenEvent* event);
    virtual HRESULT OnDoInteraction(const VWPenEvent* event);
    virtual HRESULT TerminateInteraction();

    // Asks the linked viewer to redraw a layer of this tool (rect null: all of it); S_FALSE
    // when no viewer is linked.
    HRESULT InvalidateLayer(int layer, void* rect);
    // The linked viewer's window, or null.
    HWND GetViewerWindow() const;
    IUnknown* GetOperator() const;
    sdk::host::Viewer* GetViewer() const;
    bool IsInteracting() const;

private:
    std::atomic<ULONG> m_cRef{1};
    mutable std::mutex m_LinkMutex;
    IUnknown* m_pOperator = nullptr;
    sdk::host::Viewer* m_pViewer = nullptr;
    bool m_bInteracting = false;
};

namespace sdk::host {

// Where a viewer draws. `makeCurrent` makes the surface's OpenGL context current on the
// calling thread and answers whether it could; `doneCurrent`, when given, runs after each
// drawing bracket (an interactive host usually keeps its context current and gives none).
class SDK_API ViewerSurface {
public:
    explicit ViewerSurface(std::function<bool()> makeCurrent,
                           std::function<void()> doneCurrent = {});
    ViewerSurface(const ViewerSurface&) = delete;
    ViewerSurface& operator=(const ViewerSurface&) = delete;

    // What vwSurfaceBeginRenderOpenGL describes; a viewer sets it from its view before drawing.
    VWSurfaceInfo info;

private:
    friend HRESULT(::vwSurfaceBeginRenderOpenGL)(ViewerSurface*, VWSurfaceInfo*);
    friend HRESULT(::vwSurfaceEndRenderOpenGL)(ViewerSurface*);

    std::function<bool()> m_MakeCurrent;
    std::function<void()> m_DoneCurrent;
    bool m_bBegun = false;
    int m_SavedViewport[4] = {};
    int m_nSavedMatrixMode = 0;
    double m_SavedProjection[16] = {};
    double m_SavedModelView[16] = {};
};

class SDK_API Viewer {
public:
    // A viewer window of the given client size in pixels, showing world units one to one
    // from (0, 0).
    Viewer(int width, int height);
    // Unlinks every tool, forgets its controller links, stops being the current viewer and
    // destroys its window.
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    HWND window() const { return m_pWindow; }

    // The viewport takes the window's new size; the change asks for a redraw.
    void setView(const VWSurfaceInfo& view);
    VWSurfaceInfo view() const;
    // The world point under a window pixel (x from the left, y from the top edge).
    VWPenEvent penAt(LONG button, double pixelX, double pixelY) const;

    // Links the operator, then the viewer; when the viewer link fails the operator link is
    // undone. S_FALSE when the tool is already linked here.
    HRESULT linkTool(IDSInteractiveTool* tool, IUnknown* op);
    // Unlinks the viewer, then the operator, and lets go of the tool; S_FALSE when the tool
    // is not linked here.
    HRESULT unlinkTool(IDSInteractiveTool* tool);
    bool isLinked(const IDSInteractiveTool* tool) const;
    std::size_t toolCount() const;

    // What CDSInteractiveTool::InvalidateLayer asks of the viewer.
    void invalidateLayer(int layer);
    // Redraws asked of a layer and not yet honoured.
    int pendingRedraws(int layer) const;
    // Whether a layer or the window asked for a redraw since the last render.
    bool needsRedraw() const;

    // Honours every redraw asked so far and draws each linked tool, first linked first (so
    // the last linked lies on top), onto the surface described with this viewer's view.
    // Answers the first failure of a tool, else S_OK.
    HRESULT render(ViewerSurface& surface);

    // The pen, in world units (penAt converts window pixels). S_FALSE: no tool took it.
    HRESULT penDown(const VWPenEvent& event);
    HRESULT penMove(const VWPenEvent& event);
    HRESULT penUp(const VWPenEvent& event);

    void timeChanged(double time);
    void propertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender);

private:
    // The linked tools, each with a reference added, so a call can go on while another
    // thread unlinks one.
    std::vector<IDSInteractiveTool*> heldTools() const;
    static void releaseAll(const std::vector<IDSInteractiveTool*>& tools);
    template <class Call>
    HRESULT routePen(Call call);

    HWND m_pWindow;
    mutable std::mutex m_Mutex;
    std::vector<IDSInteractiveTool*> m_Tools;  // held while linked
    std::map<int, int> m_PendingRedraws;       // by layer
    mutable int m_nWindowRedraws = 0;          // taken from the window's count
    VWSurfaceInfo m_View;
};

// The viewer that pushed effect tools are linked to; null for none (the initial state).
SDK_API void setCurrentViewer(Viewer* viewer);
SDK_API Viewer* currentViewer();

struct ViewerContext {
    DWORD id;
    int kind;
    IUnknown* tool;       // held by the controller while pushed
    IUnknown* inspected;  // not held
    Viewer* viewer;       // the viewer the tool was linked to, or null
};

// The contexts pushed and not yet removed.
SDK_API std::vector<ViewerContext> viewerContexts();

}  // namespace sdk::host
