// The component object model's base interfaces as the module and the host see them.
#pragma once

#include "sdk/platform/guid.hpp"
#include "sdk/platform/types.hpp"

inline constexpr IID IID_IUnknown = sdk::guid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = sdk::guid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IMarshal = sdk::guid("00000003-0000-0000-C000-000000000046");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The module's exported entry points, as the loader and CoCreateInstance call them.
using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
