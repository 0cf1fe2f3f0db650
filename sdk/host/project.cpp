#include "sdk/host/project.hpp"

#include <map>
#include <mutex>

#include "sdk/platform/call_log.hpp"

namespace sdk::host {
namespace {

struct Project {
    std::mutex mutex;
    std::map<std::wstring, double, std::less<>> values;
};

Project& project() {
    static Project instance;
    return instance;
}

}  // namespace

void setProjectValue(const std::wstring& name, double value) {
    std::lock_guard lock(project().mutex);
    project().values.insert_or_assign(name, value);
}

void removeProjectValue(const std::wstring& name) {
    std::lock_guard lock(project().mutex);
    project().values.erase(name);
}

void clearProjectValues() {
    std::lock_guard lock(project().mutex);
    project().values.clear();
}

void setProjectFrame(double userWidth, double userHeight, std::optional<double> worldWidth,
                     std::optional<double> worldHeight) {
    setProjectValue(kFrameUserSizeX, userWidth);
    setProjectValue(kFrameUserSizeY, userHeight);
    setProjectValue(kFrameWorldSizeX, worldWidth.value_or(userWidth));
    setProjectValue(kFrameWorldSizeY, worldHeight.value_or(userHeight));
}

}  // namespace sdk::host

extern "C" HRESULT DSContentGetProperty(LPCWSTR name, VARIANT* value) {
    if (auto failure = sdk::hostCall("DSContentGetProperty")) return *failure;
    if (name == nullptr || value == nullptr) return E_POINTER;
    auto& p = sdk::host::project();
    std::lock_guard lock(p.mutex);
    const auto it = p.values.find(std::wstring_view(name));
    if (it == p.values.end()) return DISP_E_MEMBERNOTFOUND;
    value->vt = VT_R8;
    value->dblVal = it->second;
    return S_OK;
}
