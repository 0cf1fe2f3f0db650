// The host image library's pixel-format identifiers.
#pragma once

#include "sdk/platform/guid.hpp"

extern "C" {
// 8 bits per component, R, G, B, A; the buffer stores the bottom row first.
SDK_API extern const GUID MFIF_RGBA_RAW_32;
// Signed 2.14 fixed point per component (16384 = 1.0), R, G, B, A; the top row first.
SDK_API extern const GUID MFIF_RGBA_S2_14;
}
