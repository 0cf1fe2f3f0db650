#include "sdk/platform/com.hpp"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "sdk/platform/call_log.hpp"

namespace {

std::atomic<std::size_t> g_liveMarshalers{0};

// An aggregated inner object: its own IUnknown is non-delegating (it controls the inner
// object's life), while the IMarshal it hands out forwards IUnknown to the outer object.
class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown* outer) : m_Inner(*this), m_Outer(outer) {
        ++g_liveMarshalers;
    }
    ~FreeThreadedMarshaler() { --g_liveMarshalers; }

    IUnknown* inner() { return &m_Inner; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return m_Outer->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return m_Outer->AddRef(); }
    ULONG Release() override { return m_Outer->Release(); }

    HRESULT GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* clsid) override {
        if (clsid == nullptr) return E_POINTER;
        // Within one process the object itself is handed over: there is nothing to unmarshal.
        *clsid = GUID_NULL;
        return E_NOTIMPL;
    }
    HRESULT GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* size) override {
        if (size == nullptr) return E_POINTER;
        *size = sizeof(void*);
        return S_OK;
    }

private:
    struct Inner final : IUnknown {
        explicit Inner(FreeThreadedMarshaler& outerObject) : owner(outerObject) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            if (ppv == nullptr) return E_POINTER;
            *ppv = nullptr;
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown*>(this);
            } else if (riid == IID_IMarshal) {
                *ppv = static_cast<IMarshal*>(&owner);
            } else {
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return ++refs; }
        ULONG Release() override {
            const ULONG left = --refs;
            if (left == 0) delete &owner;
            return left;
        }
        FreeThreadedMarshaler& owner;
        std::atomic<ULONG> refs{1};
    };

    Inner m_Inner;
    IUnknown* m_Outer;
};

struct ServerTable {
    std::mutex mutex;
    std::map<CLSID, HINSTANCE> servers;
};

ServerTable& servers() {
    static ServerTable table;
    return table;
}

struct MessageTable {
    std::mutex mutex;
    std::map<std::wstring, UINT> ids;
    UINT next = 0xC000;  // registered messages live in 0xC000-0xFFFF
};

MessageTable& messages() {
    static MessageTable table;
    return table;
}

}  // namespace

extern "C" {

HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshal) {
    if (auto failure = sdk::hostCall("CoCreateFreeThreadedMarshaler")) return *failure;
    if (marshal == nullptr) return E_POINTER;
    *marshal = nullptr;
    if (outer == nullptr) return E_INVALIDARG;
    auto* object = new (std::nothrow) FreeThreadedMarshaler(outer);
    if (object == nullptr) return E_OUTOFMEMORY;
    *marshal = object->inner();
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
    if (auto failure = sdk::hostCall("CoCreateInstance")) {
        if (ppv != nullptr) *ppv = nullptr;
        return *failure;
    }
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if ((clsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    HINSTANCE module = sdk::inprocServer(rclsid);
    if (module == nullptr) return REGDB_E_CLASSNOTREG;
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
    if (getClassObject == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(rclsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}

BOOL DisableThreadLibraryCalls(HMODULE module) {
    if (sdk::hostCall("DisableThreadLibraryCalls")) return FALSE;
    return module != nullptr ? TRUE : FALSE;
}

void* CoTaskMemAlloc(std::size_t size) {
    if (sdk::hostCall("CoTaskMemAlloc")) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void CoTaskMemFree(void* memory) {
    std::free(memory);
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (sdk::hostCall("RegisterWindowMessageW")) return 0;
    if (name == nullptr || *name == L'\0') return 0;
    std::wstring key(name);
    for (auto& c : key) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    MessageTable& table = messages();
    std::lock_guard lock(table.mutex);
    auto [it, inserted] = table.ids.try_emplace(key, table.next);
    if (inserted) {
        if (table.next == 0xFFFF) {
            table.ids.erase(it);
            return 0;
        }
        ++table.next;
    }
    return it->second;
}

}  // extern "C"

namespace sdk {

void registerInprocServer(REFCLSID clsid, HINSTANCE module) {
    ServerTable& table = servers();
    std::lock_guard lock(table.mutex);
    table.servers.insert_or_assign(clsid, module);
}

void unregisterInprocServer(REFCLSID clsid) {
    ServerTable& table = servers();
    std::lock_guard lock(table.mutex);
    table.servers.erase(clsid);
}

HINSTANCE inprocServer(REFCLSID clsid) {
    ServerTable& table = servers();
    std::lock_guard lock(table.mutex);
    const auto it = table.servers.find(clsid);
    return it == table.servers.end() ? nullptr : it->second;
}

std::size_t liveMarshalers() {
    return g_liveMarshalers.load();
}

}  // namespace sdk
