#include "sdk/platform/window.hpp"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "sdk/platform/call_log.hpp"

namespace sdk {
namespace {

struct WindowTable {
    std::recursive_mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<Window>> windows;
};

WindowTable& table() {
    static WindowTable instance;
    return instance;
}

// Takes the window and its children out of the table, children first; the caller destroys them.
void detach(WindowTable& t, Window* window, std::vector<std::unique_ptr<Window>>& gone) {
    for (Window* child : std::vector<Window*>(window->children)) detach(t, child, gone);
    const auto it = t.windows.find(window);
    if (it == t.windows.end()) return;
    gone.push_back(std::move(it->second));
    t.windows.erase(it);
}

}  // namespace

Window::~Window() = default;

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT: {
            const auto* newText = reinterpret_cast<const wchar_t*>(lParam);
            text = newText != nullptr ? newText : L"";
            return TRUE;
        }
        case WM_GETTEXT: {
            // wParam is the buffer's size in characters, terminator included.
            auto* buffer = reinterpret_cast<wchar_t*>(lParam);
            if (buffer == nullptr || wParam == 0) return 0;
            const std::size_t count = std::min<std::size_t>(text.size(), wParam - 1);
            std::wmemcpy(buffer, text.data(), count);
            buffer[count] = L'\0';
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(text.size());
        default:
            return 0;
    }
}

Window* createWindow(Window* parent, std::unique_ptr<Window> window) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    Window* raw = window.get();
    raw->parent = parent;
    if (parent != nullptr) parent->children.push_back(raw);
    t.windows.emplace(raw, std::move(window));
    return raw;
}

Window* windowFromHandle(const void* handle) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.windows.find(handle);
    return it == t.windows.end() ? nullptr : it->second.get();
}

int takeInvalidations(Window* window) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    if (windowFromHandle(window) == nullptr) return 0;
    return std::exchange(window->invalidations, 0);
}

}  // namespace sdk

extern "C" BOOL IsWindow(HWND window) {
    sdk::hostCall("IsWindow");
    return sdk::windowFromHandle(window) != nullptr ? TRUE : FALSE;
}

extern "C" BOOL DestroyWindow(HWND window) {
    if (sdk::hostCall("DestroyWindow")) return FALSE;
    std::vector<std::unique_ptr<sdk::Window>> gone;
    {
        auto& t = sdk::table();
        std::lock_guard lock(t.mutex);
        if (sdk::windowFromHandle(window) == nullptr) return FALSE;
        if (sdk::Window* parent = window->parent) {
            std::erase(parent->children, window);
        }
        sdk::detach(t, window, gone);
    }
    return TRUE;  // `gone` destroys the windows outside the lock
}

extern "C" BOOL InvalidateRect(HWND window, const RECT* /*rect*/, BOOL /*erase*/) {
    if (sdk::hostCall("InvalidateRect")) return FALSE;
    auto& t = sdk::table();
    std::lock_guard lock(t.mutex);
    if (sdk::windowFromHandle(window) == nullptr) return FALSE;
    ++window->invalidations;
    return TRUE;
}

// A window procedure runs without the table lock: it may create, send to or destroy windows.
extern "C" LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    sdk::hostCall("SendMessageW");
    if (sdk::windowFromHandle(window) == nullptr) return 0;
    return window->handleMessage(message, wParam, lParam);
}

extern "C" HWND GetDlgItem(HWND dialog, int id) {
    sdk::hostCall("GetDlgItem");
    if (sdk::windowFromHandle(dialog) == nullptr) return nullptr;
    for (sdk::Window* child : dialog->children) {
        if (child->id == id) return child;
    }
    return nullptr;
}

extern "C" int GetDlgCtrlID(HWND window) {
    return sdk::windowFromHandle(window) != nullptr ? window->id : 0;
}

extern "C" BOOL ShowWindow(HWND window, int command) {
    sdk::hostCall("ShowWindow");
    if (sdk::windowFromHandle(window) == nullptr) return FALSE;
    const BOOL wasVisible = window->visible() ? TRUE : FALSE;
    if (command == SW_HIDE) {
        window->style &= ~WS_VISIBLE;
    } else {
        window->style |= WS_VISIBLE;
    }
    return wasVisible;
}

extern "C" BOOL IsWindowVisible(HWND window) {
    if (sdk::windowFromHandle(window) == nullptr) return FALSE;
    // A window shows only while its parents do.
    for (const sdk::Window* w = window; w != nullptr; w = w->parent) {
        if (!w->visible()) return FALSE;
    }
    return TRUE;
}

extern "C" BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    sdk::hostCall("MoveWindow");
    if (sdk::windowFromHandle(window) == nullptr) return FALSE;
    window->rect = {x, y, x + width, y + height};
    if (repaint) ++window->invalidations;
    return TRUE;
}

extern "C" LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    if (sdk::windowFromHandle(window) == nullptr || index != GWLP_USERDATA) return 0;
    const LONG_PTR previous = window->userData;
    window->userData = value;
    return previous;
}

extern "C" LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    if (sdk::windowFromHandle(window) == nullptr || index != GWLP_USERDATA) return 0;
    return window->userData;
}
