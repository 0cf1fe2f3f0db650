// The five entry points through which the host loads, registers and uses the module.

#include <array>

#include "plugin/effect/bars.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/module/class_factory.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/module/module_state.hpp"
#include "plugin/overlay/draw.hpp"
#include "plugin/overlay/interactive_tool.hpp"
#include "plugin/pages/property_pages.hpp"
#include "sdk/host/registration.hpp"
#include "sdk/platform/resources.hpp"

namespace {

using namespace pattix;

struct ServedClass {
    const CLSID& clsid;
    DWORD registrationNumber;  // the class's description string, or the tool's host number
    IClassFactory* (*makeFactory)();
};

template <class T>
IClassFactory* makeFactory() {
    return new (std::nothrow) CDsClassFactory<T>();
}

// Order matters: lookup, registration and unregistration all walk it from the top.
const std::array<ServedClass, 4> kClasses = {{
    {CLSID_Bars, 2, &makeFactory<Bars>},
    {CLSID_BarsPPG, 4, &makeFactory<BarsPPG>},
    {CLSID_KtTInteract, 1028, &makeFactory<KtTInteract>},
    {CLSID_HelpPPG, 6, &makeFactory<HelpPPG>},
}};

constexpr int kNameBufferLength = 260;

}  // namespace

#define PATTIX_ENTRY extern "C" __attribute__((visibility("default")))

PATTIX_ENTRY BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        setModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        releaseQuadric();
        // The render workers run the module's code: they must be gone before it is unmapped.
        stopParallelWorkers();
    }
    return TRUE;
}

PATTIX_ENTRY HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    for (const ServedClass& served : kClasses) {
        if (served.clsid != rclsid) continue;
        IClassFactory* factory = served.makeFactory();
        if (factory == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

PATTIX_ENTRY HRESULT DllCanUnloadNow() {
    return moduleCount().load() == 0 ? S_OK : S_FALSE;
}

PATTIX_ENTRY HRESULT DllRegisterServer() {
    const HINSTANCE instance = moduleInstance();
    for (const ServedClass& served : kClasses) {
        const HRESULT hr = DSRegisterCOMEffect(served.clsid, instance, served.registrationNumber);
        if (FAILED(hr)) return hr;
    }
    WCHAR name[kNameBufferLength] = {};
    LoadStringW(instance, IDS_EFFECT_NAME, name, kNameBufferLength);
    return DSRegisterObjectFamilies(CLSID_Bars, static_cast<DWORD>(kEffectFamilies.size()),
                                    kEffectFamilies.data(), 1, name, instance);
}

PATTIX_ENTRY HRESULT DllUnregisterServer() {
    HRESULT result = S_OK;
    for (const ServedClass& served : kClasses) {
        const HRESULT hr = DSUnregisterCOMEffect(served.clsid);
        if (FAILED(hr)) result = hr;
    }
    const HRESULT hr =
        DSUnregisterObjectFamilies(CLSID_Bars, static_cast<DWORD>(kEffectFamilies.size()),
                                   kEffectFamilies.data(), moduleInstance());
    if (FAILED(hr)) result = hr;
    return result;
}
