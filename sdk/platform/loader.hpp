// The host plays the operating-system loader: it maps a module file, finds its five entry
// points, runs its process-attach code, and at unload asks it first.
#pragma once

#include <memory>
#include <string>

#include "sdk/platform/unknown.hpp"

namespace sdk {

class SDK_API LoadedModule {
public:
    // Maps the file and calls DllMain with process attach. On failure answers null and says why
    // in `error` (the file, and the loader's own reason).
    static std::unique_ptr<LoadedModule> load(const std::string& path, std::string& error);

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    // Unloads if still loaded and the module agrees; a busy module is left mapped, since its
    // objects may still be in use.
    ~LoadedModule();

    HINSTANCE handle() const { return m_Handle; }
    const std::string& path() const { return m_Path; }
    bool loaded() const { return m_Handle != nullptr; }

    HRESULT registerServer() const { return m_RegisterServer(); }
    HRESULT unregisterServer() const { return m_UnregisterServer(); }
    HRESULT canUnloadNow() const { return m_CanUnloadNow(); }
    HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
        return m_GetClassObject(clsid, riid, ppv);
    }

    // Asks DllCanUnloadNow; S_OK: process detach is called and the file unmapped. S_FALSE:
    // the module is busy and stays loaded.
    HRESULT unload();

private:
    LoadedModule() = default;

    std::string m_Path;
    HINSTANCE m_Handle = nullptr;
    DllMainFn m_DllMain = nullptr;
    DllGetClassObjectFn m_GetClassObject = nullptr;
    DllCanUnloadNowFn m_CanUnloadNow = nullptr;
    DllRegisterServerFn m_RegisterServer = nullptr;
    DllUnregisterServerFn m_UnregisterServer = nullptr;
};

}  // namespace sdk
