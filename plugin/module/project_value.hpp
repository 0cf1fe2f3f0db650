// Reading one of the host project's values by name, as a double.
#pragma once

#include "sdk/host/project.hpp"

namespace pattix {

// Answers whether the value could be read; `value` is left alone when not.
inline bool readProjectValue(const wchar_t* name, double& value) {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = DSContentGetProperty(name, &v);
    const bool ok = SUCCEEDED(hr) && v.vt == VT_R8;
    if (ok) value = v.dblVal;
    VariantClear(&v);
    return ok;
}

}  // namespace pattix
