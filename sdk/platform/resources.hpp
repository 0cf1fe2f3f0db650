// A module's compiled-in resources (string table, bitmaps, dialog templates), found from its
// instance handle.
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

// One control of an extended dialog template, with the fields of a DLGITEMTEMPLATEEX. Positions
// and sizes are in dialog units. A title given as a resource ordinal (a static's bitmap) has
// `title` null and its resource id in `titleOrdinal`.
struct DialogItemTemplate {
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    DWORD id;                    // 0xFFFFFFFF: a control nobody addresses
    const wchar_t* windowClass;  // "BUTTON", "COMBOBOX", "STATIC", "EDIT"
    const wchar_t* title;
    WORD titleOrdinal;
};

// An extended dialog template (DLGTEMPLATEEX): the dialog's styles, size in dialog units,
// caption, font (with DS_SETFONT) and controls in tab order.
struct DialogTemplate {
    UINT resourceId;
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* caption;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    const wchar_t* typeface;
    const DialogItemTemplate* items;
    std::size_t itemCount;
};

struct ResourceTable {
    const StringResource* strings;
    std::size_t stringCount;
    const BitmapResource* bitmaps;
    std::size_t bitmapCount;
    const DialogTemplate* dialogs = nullptr;
    std::size_t dialogCount = 0;
};

// A module announces its table from its start-up code; the table must live inside the module
// (its address tells which loaded module owns it) and until the matching unregister.
SDK_API void registerModuleResources(const ResourceTable* table);
SDK_API void unregisterModuleResources(const ResourceTable* table);

// The table of the module behind an instance handle, or null.
SDK_API const ResourceTable* moduleResources(HINSTANCE module);

// Dialog template `id` of the module behind an instance handle, or null.
SDK_API const DialogTemplate* findDialogTemplate(HINSTANCE module, UINT id);

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
