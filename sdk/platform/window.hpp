// Windows handed out by handle: the viewer's window, and dialogs with their controls. A window
// knows its parent, class, text, styles, control id and rectangle, counts the redraws asked of
// it (so a host can honour them and a test can see them), and answers the messages sent to it
// through its window procedure, handleMessage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/platform/types.hpp"

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// Window styles.
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_LEFTSCROLLBAR = 0x00004000;

// Messages every window answers.
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr int GWLP_USERDATA = -21;

constexpr WORD LOWORD(std::uintptr_t value) {
    return static_cast<WORD>(value & 0xFFFFu);
}
constexpr WORD HIWORD(std::uintptr_t value) {
    return static_cast<WORD>((value >> 16) & 0xFFFFu);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}

namespace sdk {

struct SDK_API Window {
    virtual ~Window();

    // The window procedure. The base answers WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on
    // `text`; everything else answers 0.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool visible() const { return (style & WS_VISIBLE) != 0; }

    Window* parent = nullptr;
    std::vector<Window*> children;  // owned through the handle table, destroyed with this one
    std::wstring className;
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    RECT rect;              // in the parent's client pixels
    int invalidations = 0;  // InvalidateRect calls not yet honoured by a redraw
    LONG_PTR userData = 0;  // GWLP_USERDATA
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

// Calls the window's procedure and answers what it answers; 0 for a handle that is not a window.
SDK_API LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The child control with this id; null when there is none.
SDK_API HWND GetDlgItem(HWND dialog, int id);
SDK_API int GetDlgCtrlID(HWND window);
// Shows or hides the window (WS_VISIBLE); answers whether it was visible before.
SDK_API BOOL ShowWindow(HWND window, int command);
SDK_API BOOL IsWindowVisible(HWND window);
// Places the window at x, y (in its parent's client pixels) with the given size.
SDK_API BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
SDK_API LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
SDK_API LONG_PTR GetWindowLongPtrW(HWND window, int index);
}
