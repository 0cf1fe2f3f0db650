#include "sdk/host/registration.hpp"

#include <algorithm>
#include <mutex>

#include "sdk/platform/call_log.hpp"
#include "sdk/platform/com.hpp"

namespace sdk::host {
namespace {

struct Table {
    std::mutex mutex;
    std::vector<RegisteredClass> classes;
    std::vector<RegisteredFamily> families;
};

Table& table() {
    static Table instance;
    return instance;
}

}  // namespace

std::vector<RegisteredClass> registeredClasses() {
    std::lock_guard lock(table().mutex);
    return table().classes;
}

std::vector<RegisteredFamily> registeredFamilies() {
    std::lock_guard lock(table().mutex);
    return table().families;
}

}  // namespace sdk::host

using sdk::host::table;

extern "C" {

HRESULT DSRegisterCOMEffect(REFCLSID clsid, HINSTANCE module, DWORD number) {
    if (auto failure = sdk::hostCall("DSRegisterCOMEffect")) return *failure;
    if (module == nullptr) return E_INVALIDARG;
    {
        std::lock_guard lock(table().mutex);
        auto& classes = table().classes;
        std::erase_if(classes, [&](const auto& c) { return c.clsid == clsid; });
        classes.push_back({clsid, module, number});
    }
    sdk::registerInprocServer(clsid, module);
    return S_OK;
}

HRESULT DSUnregisterCOMEffect(REFCLSID clsid) {
    if (auto failure = sdk::hostCall("DSUnregisterCOMEffect")) return *failure;
    std::lock_guard lock(table().mutex);
    const auto removed =
        std::erase_if(table().classes, [&](const auto& c) { return c.clsid == clsid; });
    sdk::unregisterInprocServer(clsid);
    return removed != 0 ? S_OK : S_FALSE;
}

HRESULT DSRegisterObjectFamilies(REFCLSID clsid, DWORD count, const GUID* families, DWORD flags,
                                 LPCWSTR name, HINSTANCE module) {
    if (auto failure = sdk::hostCall("DSRegisterObjectFamilies")) return *failure;
    if (count > 0 && families == nullptr) return E_POINTER;
    std::lock_guard lock(table().mutex);
    auto& registered = table().families;
    for (DWORD i = 0; i < count; ++i) {
        std::erase_if(registered,
                      [&](const auto& f) { return f.clsid == clsid && f.family == families[i]; });
        registered.push_back({clsid, families[i], flags, name ? name : L"", module});
    }
    return S_OK;
}

HRESULT DSUnregisterObjectFamilies(REFCLSID clsid, DWORD count, const GUID* families,
                                   HINSTANCE /*module*/) {
    if (auto failure = sdk::hostCall("DSUnregisterObjectFamilies")) return *failure;
    if (count > 0 && families == nullptr) return E_POINTER;
    std::lock_guard lock(table().mutex);
    for (DWORD i = 0; i < count; ++i) {
        std::erase_if(table().families,
                      [&](const auto& f) { return f.clsid == clsid && f.family == families[i]; });
    }
    return S_OK;
}

}  // extern "C"
