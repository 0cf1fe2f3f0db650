#include "sdk/platform/resources.hpp"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <new>
#include <vector>

#include "sdk/platform/call_log.hpp"

namespace sdk {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<const ResourceTable*> tables;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// On glibc a dlopen handle is the object's link map; dladdr1 names the link map holding an
// address, so a table is matched to a handle without any exported symbol.
link_map* linkMapOfHandle(HINSTANCE module) {
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

link_map* linkMapOfAddress(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
        return nullptr;
    }
    return map;
}

}  // namespace

void registerModuleResources(const ResourceTable* table) {
    if (table == nullptr) return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.tables.begin(), r.tables.end(), table) == r.tables.end()) {
        r.tables.push_back(table);
    }
}

void unregisterModuleResources(const ResourceTable* table) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase(r.tables, table);
}

const ResourceTable* moduleResources(HINSTANCE module) {
    if (module == nullptr) return nullptr;
    link_map* wanted = linkMapOfHandle(module);
    if (wanted == nullptr) return nullptr;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const ResourceTable* table : r.tables) {
        if (linkMapOfAddress(table) == wanted) return table;
    }
    return nullptr;
}

const DialogTemplate* findDialogTemplate(HINSTANCE module, UINT id) {
    const ResourceTable* table = moduleResources(module);
    if (table == nullptr) return nullptr;
    for (std::size_t i = 0; i < table->dialogCount; ++i) {
        if (table->dialogs[i].resourceId == id) return &table->dialogs[i];
    }
    return nullptr;
}

}  // namespace sdk

extern "C" {

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax) {
    if (sdk::hostCall("LoadStringW")) return 0;
    if (buffer == nullptr || bufferMax < 0) return 0;
    const sdk::ResourceTable* table = sdk::moduleResources(module);
    const wchar_t* text = nullptr;
    if (table != nullptr) {
        for (std::size_t i = 0; i < table->stringCount; ++i) {
            if (table->strings[i].id == id) text = table->strings[i].text;
        }
    }
    if (bufferMax == 0) {
        if (text == nullptr) return 0;
        *reinterpret_cast<const wchar_t**>(buffer) = text;
        return static_cast<int>(std::wcslen(text));
    }
    buffer[0] = L'\0';
    if (text == nullptr) return 0;
    const std::size_t count = std::min(std::wcslen(text), static_cast<std::size_t>(bufferMax - 1));
    std::wmemcpy(buffer, text, count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
    if (sdk::hostCall("LoadBitmapW")) return nullptr;
    const auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
    const sdk::ResourceTable* table = sdk::moduleResources(module);
    if (table == nullptr || id > 0xFFFFu) return nullptr;
    for (std::size_t i = 0; i < table->bitmapCount; ++i) {
        const sdk::BitmapResource& source = table->bitmaps[i];
        if (source.id != id) continue;
        auto* bitmap = new (std::nothrow) sdk::Bitmap;
        if (bitmap == nullptr) return nullptr;
        bitmap->width = source.width;
        bitmap->height = source.height;
        bitmap->pixels.assign(source.pixels,
                              source.pixels + static_cast<std::size_t>(source.width) *
                                                  static_cast<std::size_t>(source.height));
        return bitmap;
    }
    return nullptr;
}

}  // extern "C"
