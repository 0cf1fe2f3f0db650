#include "sdk/host/properties.hpp"

#include "sdk/platform/resources.hpp"

HRESULT CDSParamDef::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDSParamDef) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IDSParamDef*>(this);
    return S_OK;
}

ULONG CDSParamDef::Release() {
    const ULONG left = --m_cRef;
    if (left == 0) delete this;
    return left;
}

std::wstring CDSParamDef::loadString(DWORD id) const {
    if (m_phInstance == nullptr) return {};
    WCHAR text[260];
    if (LoadStringW(*m_phInstance, id, text, 260) <= 0) return {};
    return text;
}

std::wstring CDSParamDef::GetName() const {
    return loadString(m_NameId);
}
std::wstring CDSParamDef::GetDescription() const {
    return loadString(m_DescriptionId);
}

CDSPropertiesMapEntry::CDSPropertiesMapEntry(IDSParamDef* definition, unsigned long location,
                                             unsigned int extra)
    : m_pParamDef(definition), m_Location(location), m_Extra(extra) {}

CDSPropertiesMapEntry::~CDSPropertiesMapEntry() {
    if (m_pParamDef != nullptr) m_pParamDef->Release();
}
