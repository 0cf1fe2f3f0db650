// A module's compiled-in resources (string table, bitmaps), found from its instance handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/platform/gdi.hpp"
#include "sdk/platform/types.hpp"

namespace sdk {

struct StringResource {
    UINT id;
    const wchar_t* text;
};

struct BitmapResource {
    UINT id;
    int width;
    int height;
    const std::uint32_t* pixels;  // width * height words, top row first, 0xAARRGGBB
};

struct ResourceTable {
    const StringResource* strings;
    std::size_t stringCount;
    const BitmapResource* bitmaps;
    std::size_t bitmapCount;
};

// A module announces its table from its start-up code; the table must live inside the module
// (its address tells which loaded module owns it) and until the matching unregister.
SDK_API void registerModuleResources(const ResourceTable* table);
SDK_API void unregisterModuleResources(const ResourceTable* table);

// The table of the module behind an instance handle, or null.
SDK_API const ResourceTable* moduleResources(HINSTANCE module);

}  // namespace sdk

// A resource named by number: the number stands in the pointer, as Windows has it. Not constexpr:
// a reinterpret_cast is never a constant expression.
inline LPCWSTR MAKEINTRESOURCEW(UINT id) {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id & 0xFFFFu));
}

extern "C" {
// Copies string `id` into `buffer` (at most bufferMax - 1 characters, always terminated) and
// answers the number of characters copied; 0 when the string does not exist. With bufferMax 0,
// *buffer receives a read-only pointer to the string and the answer is its length.
SDK_API int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax);

// `name` is MAKEINTRESOURCEW(id); the caller frees the bitmap with DeleteObject.
SDK_API HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);
}
