// Windows handed out by handle: the viewer's window, and (with the property pages) dialogs and
// their controls. A window knows its parent, class, text, styles, control id and rectangle, and
// counts the redraws asked of it, so a host can honour them and a test can see them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/platform/types.hpp"

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

namespace sdk {

struct SDK_API Window {
    virtual ~Window();

    Window* parent = nullptr;
    std::vector<Window*> children;  // owned through the handle table, destroyed with this one
    std::wstring className;
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    RECT rect;               // in the parent's client pixels
    int invalidations = 0;   // InvalidateRect calls not yet honoured by a redraw
};

// A new window, owned by the handle table until DestroyWindow; parent may be null.
SDK_API Window* createWindow(Window* parent, std::unique_ptr<Window> window);
// The window a handle stands for, or null for a handle that is not (or no longer) a window.
SDK_API Window* windowFromHandle(const void* handle);
// The redraws asked of a window since the last take, which honours them (the count drops to 0);
// 0 for a handle that is not a window.
SDK_API int takeInvalidations(Window* window);

}  // namespace sdk

using HWND = sdk::Window*;

extern "C" {
SDK_API BOOL IsWindow(HWND window);
// Destroys the window and its children; FALSE for a handle that is not a window.
SDK_API BOOL DestroyWindow(HWND window);
// Asks for a redraw of the window (rect null: all of it); FALSE for a handle that is not a window.
SDK_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
}
