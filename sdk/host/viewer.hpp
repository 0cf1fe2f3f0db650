// The host viewer's side of the overlay link: pushing a tool into the viewer controller,
// removing it, and asking for a redraw of the tool's layer.
#pragma once

#include <vector>

#include "sdk/platform/unknown.hpp"

extern "C" {
SDK_API HRESULT VWControllerPushContext(int kind, IUnknown* tool, IUnknown* inspected,
                                        void* reserved1, void* reserved2, double time,
                                        DWORD* contextId);
SDK_API HRESULT VWControllerRemoveContext(DWORD contextId);
}

// Base of the viewer tools the host drives.
class SDK_API CDSInteractiveTool {
public:
    virtual ~CDSInteractiveTool();
    // Asks the viewer to redraw a layer of this tool (rect null: all of it).
    HRESULT InvalidateLayer(int layer, void* rect);
};

namespace sdk::host {

struct ViewerContext {
    DWORD id;
    int kind;
    IUnknown* tool;       // held by the controller while pushed
    IUnknown* inspected;  // not held
};

// The contexts pushed and not yet removed.
SDK_API std::vector<ViewerContext> viewerContexts();

}  // namespace sdk::host
