#include "sdk/platform/window.hpp"

#include <algorithm>
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
