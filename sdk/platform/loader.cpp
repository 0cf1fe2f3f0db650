#include "sdk/platform/loader.hpp"

#include <dlfcn.h>

namespace sdk {

std::unique_ptr<LoadedModule> LoadedModule::load(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load module '" + path + "': " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<LoadedModule> module(new LoadedModule);
    module->m_Path = path;
    module->m_Handle = handle;

    auto find = [&](const char* name) {
        void* symbol = dlsym(handle, name);
        if (symbol == nullptr && error.empty()) {
            error = "module '" + path + "' does not export " + name;
        }
        return symbol;
    };
    error.clear();
    module->m_DllMain = reinterpret_cast<DllMainFn>(find("DllMain"));
    module->m_GetClassObject = reinterpret_cast<DllGetClassObjectFn>(find("DllGetClassObject"));
    module->m_CanUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(find("DllCanUnloadNow"));
    module->m_RegisterServer = reinterpret_cast<DllRegisterServerFn>(find("DllRegisterServer"));
    module->m_UnregisterServer =
        reinterpret_cast<DllUnregisterServerFn>(find("DllUnregisterServer"));
    if (!error.empty()) {
        dlclose(handle);
        module->m_Handle = nullptr;
        return nullptr;
    }
    if (module->m_DllMain(handle, DLL_PROCESS_ATTACH, nullptr) == FALSE) {
        error = "module '" + path + "' refused to attach";
        dlclose(handle);
        module->m_Handle = nullptr;
        return nullptr;
    }
    return module;
}

HRESULT LoadedModule::unload() {
    if (m_Handle == nullptr) return S_OK;
    const HRESULT hr = m_CanUnloadNow();
    if (hr != S_OK) return S_FALSE;
    m_DllMain(m_Handle, DLL_PROCESS_DETACH, nullptr);
    dlclose(m_Handle);
    m_Handle = nullptr;
    return S_OK;
}

LoadedModule::~LoadedModule() {
    unload();
}

}  // namespace sdk
