#include "sdk/platform/variant.hpp"

#include <cstring>

extern "C" {

void VariantInit(VARIANT* v) {
    if (v == nullptr) return;
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (v == nullptr) return E_INVALIDARG;
    // None of the value types used here own storage, so clearing is resetting.
    VariantInit(v);
    return S_OK;
}

}  // extern "C"
