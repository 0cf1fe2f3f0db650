// Graphics-device objects handed out by handle: bitmaps here, fonts in font.hpp.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/platform/types.hpp"

namespace sdk {

// Base of every object a GDI handle stands for; DeleteObject destroys it.
struct SDK_API GdiObject {
    virtual ~GdiObject();
    // Whether DeleteObject may destroy it now: a stock object or one still selected into a
    // device context stays, as Windows asks callers to select the old object back first.
    virtual bool deletable() const { return true; }
};

// A bitmap loaded from a module's resources: rows top first, 0xAARRGGBB words.
struct SDK_API Bitmap final : GdiObject {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

}  // namespace sdk

using HGDIOBJ = sdk::GdiObject*;
using HBITMAP = sdk::Bitmap*;

extern "C" {
SDK_API BOOL DeleteObject(HGDIOBJ object);
}
