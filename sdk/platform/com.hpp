// The component runtime calls the module makes: the free-threaded marshaler and in-process
// object creation through the server table that registration fills.
#pragma once

#include <cstddef>

#include "sdk/platform/unknown.hpp"

struct IMarshal : IUnknown {
    virtual HRESULT GetUnmarshalClass(REFIID riid, void* pv, DWORD destContext, void* reserved,
                                      DWORD flags, CLSID* clsid) = 0;
    virtual HRESULT GetMarshalSizeMax(REFIID riid, void* pv, DWORD destContext, void* reserved,
                                      DWORD flags, DWORD* size) = 0;

protected:
    ~IMarshal() = default;
};

extern "C" {
// Creates a free-threaded marshaler aggregated on `outer`; *marshal receives the inner object's
// own (non-delegating) IUnknown, whose IID_IMarshal answer delegates IUnknown to `outer`.
SDK_API HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshal);

SDK_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                                 void** ppv);

SDK_API BOOL DisableThreadLibraryCalls(HMODULE module);

// Memory handed between components (page titles, for one): whoever receives it frees it.
SDK_API void* CoTaskMemAlloc(std::size_t size);
SDK_API void CoTaskMemFree(void* memory);

// Same name, same identifier (names compare case-insensitively); 0 for a null or empty name.
SDK_API UINT RegisterWindowMessageW(LPCWSTR name);
}

namespace sdk {

// The in-process server table: which loaded module serves a class.
SDK_API void registerInprocServer(REFCLSID clsid, HINSTANCE module);
SDK_API void unregisterInprocServer(REFCLSID clsid);
SDK_API HINSTANCE inprocServer(REFCLSID clsid);

// Free-threaded marshalers alive now, for tests that check one is made only once.
SDK_API std::size_t liveMarshalers();

}  // namespace sdk
