// A reference-counted object that counts itself in the module count, answering IUnknown and
// its own class identifier. The property pages stand on it until they are built.
#pragma once

#include <atomic>

#include "plugin/module/module_state.hpp"
#include "sdk/platform/unknown.hpp"

namespace pattix {

template <class T, const CLSID& OwnClassId>
class CountedObject : public IUnknown {
public:
    CountedObject() : m_bCounted(ClassCounter<T>::increment()) {}
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;
    virtual ~CountedObject() {
        if (m_bCounted) ClassCounter<T>::decrement();
    }

    // Asking for the class identifier itself answers the raw object, as the effect, its pages
    // and its tool use to reach each other.
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != OwnClassId) return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<IUnknown*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++m_cRef); }
    ULONG Release() override {
        const LONG left = --m_cRef;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    std::atomic<LONG> m_cRef{1};
    bool m_bCounted;
};

}  // namespace pattix
