#include "sdk/host/viewer.hpp"

#include <algorithm>
#include <mutex>

#include "sdk/platform/call_log.hpp"

namespace sdk::host {
namespace {

struct Controller {
    std::mutex mutex;
    std::vector<ViewerContext> contexts;
    DWORD nextId = 1;
};

Controller& controller() {
    static Controller instance;
    return instance;
}

}  // namespace

std::vector<ViewerContext> viewerContexts() {
    std::lock_guard lock(controller().mutex);
    return controller().contexts;
}

}  // namespace sdk::host

extern "C" HRESULT VWControllerPushContext(int kind, IUnknown* tool, IUnknown* inspected,
                                           void* /*reserved1*/, void* /*reserved2*/,
                                           double /*time*/, DWORD* contextId) {
    if (auto failure = sdk::hostCall("VWControllerPushContext")) return *failure;
    if (tool == nullptr || contextId == nullptr) return E_POINTER;
    auto& c = sdk::host::controller();
    std::lock_guard lock(c.mutex);
    tool->AddRef();
    *contextId = c.nextId++;
    c.contexts.push_back({*contextId, kind, tool, inspected});
    return S_OK;
}

extern "C" HRESULT VWControllerRemoveContext(DWORD contextId) {
    if (auto failure = sdk::hostCall("VWControllerRemoveContext")) return *failure;
    IUnknown* tool = nullptr;
    {
        auto& c = sdk::host::controller();
        std::lock_guard lock(c.mutex);
        const auto it = std::find_if(c.contexts.begin(), c.contexts.end(),
                                     [&](const auto& context) { return context.id == contextId; });
        if (it == c.contexts.end()) return E_INVALIDARG;
        tool = it->tool;
        c.contexts.erase(it);
    }
    tool->Release();
    return S_OK;
}

CDSInteractiveTool::~CDSInteractiveTool() = default;

HRESULT CDSInteractiveTool::InvalidateLayer(int /*layer*/, void* /*rect*/) {
    if (auto failure = sdk::hostCall("CDSInteractiveTool::InvalidateLayer")) return *failure;
    return S_OK;
}
