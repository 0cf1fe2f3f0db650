// The host's registration of effect classes and object families, as its installer calls it.
#pragma once

#include <string>
#include <vector>

#include "sdk/platform/guid.hpp"

extern "C" {
SDK_API HRESULT DSRegisterCOMEffect(REFCLSID clsid, HINSTANCE module, DWORD number);
SDK_API HRESULT DSUnregisterCOMEffect(REFCLSID clsid);
SDK_API HRESULT DSRegisterObjectFamilies(REFCLSID clsid, DWORD count, const GUID* families,
                                         DWORD flags, LPCWSTR name, HINSTANCE module);
SDK_API HRESULT DSUnregisterObjectFamilies(REFCLSID clsid, DWORD count, const GUID* families,
                                           HINSTANCE module);
}

namespace sdk::host {

struct RegisteredClass {
    CLSID clsid;
    HINSTANCE module;
    DWORD number;
};

struct RegisteredFamily {
    CLSID clsid;  // the class registered in the family
    GUID family;
    DWORD flags;
    std::wstring name;
    HINSTANCE module;
};

// What the host's table holds now, in registration order.
SDK_API std::vector<RegisteredClass> registeredClasses();
SDK_API std::vector<RegisteredFamily> registeredFamilies();

}  // namespace sdk::host
