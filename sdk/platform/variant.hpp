// The tagged value that host property calls and project-value reads pass around.
#pragma once

#include "sdk/platform/types.hpp"

enum : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5, VT_BOOL = 11 };

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
    VARTYPE vt;
    union {
        LONG lVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
    };
};

extern "C" {
SDK_API void VariantInit(VARIANT* v);
SDK_API HRESULT VariantClear(VARIANT* v);
}
