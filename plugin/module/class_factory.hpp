// The class factory the module hands out for each of its four creatable classes.
#pragma once

#include <mutex>
#include <new>

#include "plugin/module/module_state.hpp"
#include "sdk/platform/com.hpp"

namespace pattix {

// The IUnknown through which the factory queries and releases a new object. Classes whose
// host-facing identity is not their first base (the effect) overload this.
template <class T>
IUnknown* hostUnknown(T* object) {
    return static_cast<IUnknown*>(object);
}

template <class T>
class CDsClassFactory : public IClassFactory {
public:
    CDsClassFactory() {
        ClassCounter<T>::attach();
        ClassCounter<T>::increment();
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            AddRef();
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        if (riid == IID_IMarshal) {
            IUnknown* marshaler = nullptr;
            {
                // Two threads asking at once must not make two marshalers.
                std::lock_guard lock(m_MarshalerMutex);
                if (m_pMarshaler == nullptr) {
                    const HRESULT hr = CoCreateFreeThreadedMarshaler(this, &m_pMarshaler);
                    if (FAILED(hr)) {
                        m_pMarshaler = nullptr;
                        return hr;
                    }
                }
                marshaler = m_pMarshaler;
            }
            return marshaler->QueryInterface(riid, ppv);
        }
        return E_NOINTERFACE;
    }

    ULONG AddRef() override { return static_cast<ULONG>(++m_cRef); }

    ULONG Release() override {
        const LONG left = --m_cRef;
        if (left == 0) {
            delete this;
            return 0;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        std::lock_guard lock(m_CreateSection);
        *ppv = nullptr;
        T* object = nullptr;
        CreateObject(&object);
        if (object == nullptr) return E_OUTOFMEMORY;
        if (outer != nullptr) {
            // Aggregation is refused only once the object exists, as the host expects.
            delete object;
            *ppv = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        IUnknown* unknown = hostUnknown(object);
        const HRESULT hr = unknown->QueryInterface(riid, ppv);
        unknown->Release();
        return hr;
    }

    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            ClassCounter<T>::increment();
        } else {
            ClassCounter<T>::decrement();
        }
        return S_OK;
    }

    virtual ~CDsClassFactory() {
        if (m_pMarshaler != nullptr) m_pMarshaler->Release();
        ClassCounter<T>::decrement();
    }

protected:
    // Builds one T with its default constructor; null when memory runs out.
    virtual HRESULT CreateObject(T** object) {
        *object = new (std::nothrow) T();
        return S_OK;
    }

private:
    std::atomic<LONG> m_cRef{1};
    std::mutex m_CreateSection;
    std::mutex m_MarshalerMutex;
    IUnknown* m_pMarshaler = nullptr;
};

}  // namespace pattix
