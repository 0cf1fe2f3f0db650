#include "sdk/host/pixel_formats.hpp"

extern "C" {
const GUID MFIF_RGBA_RAW_32 = sdk::guid("4D464946-0001-4A8B-9C3E-52474241520A");
const GUID MFIF_RGBA_S2_14 = sdk::guid("4D464946-0002-4A8B-9C3E-52474241530E");
}
