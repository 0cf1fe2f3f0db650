// The host's property machinery: parameter definitions, the static property maps effects
// declare, and the listeners told of a change.
#pragma once

#include <atomic>
#include <string>

#include "sdk/platform/unknown.hpp"
#include "sdk/platform/variant.hpp"

// A change that touches every parameter of an effect at once (a reset to defaults).
inline constexpr GUID DSPROPERTY_ALL = sdk::guid("5B192010-2C0D-11D0-82AB-00A0243F1013");
// Names no property: control-map entries of controls that only run a command.
inline constexpr GUID DSPROPERTY_NONE = sdk::guid("96BBD590-4EBD-11D0-82B5-00A0243F1013");

inline constexpr IID IID_IDSParamDef = sdk::guid("6A3E1B23-5D0C-4F7B-9A41-2C1E0F7D3B01");

// One declared parameter, as the host reads it.
struct IDSParamDef : IUnknown {
    virtual const GUID& GetIdentifier() const = 0;
    virtual VARTYPE GetValueType() const = 0;
    // Name and description from the declaring module's string table; empty when absent.
    virtual std::wstring GetName() const = 0;
    virtual std::wstring GetDescription() const = 0;

protected:
    ~IDSParamDef() = default;
};

// The host's definition record. A module fills the public fields in order and hands it to a
// map entry, which owns it from then on.
class SDK_API CDSParamDef final : public IDSParamDef {
public:
    GUID m_Identifier{};
    DWORD m_dwReserved = 0;
    WORD m_wKind = 0;
    DWORD m_dwVersion = 0;
    VARTYPE m_vt = VT_EMPTY;
    WORD m_wFlags = 0;
    WORD m_wUsage = 0;
    DWORD m_NameId = 0;
    DWORD m_ShortNameId = 0;
    DWORD m_DescriptionId = 0;
    const HINSTANCE* m_phInstance = nullptr;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override;

    const GUID& GetIdentifier() const override { return m_Identifier; }
    VARTYPE GetValueType() const override { return m_vt; }
    std::wstring GetName() const override;
    std::wstring GetDescription() const override;

private:
    std::wstring loadString(DWORD id) const;
    std::atomic<ULONG> m_cRef{1};
};

// Field location of a map entry: 0xFFFF in the high half, the byte offset of the value field
// from the start of the property container in the low half.
constexpr unsigned long DSFieldLocation(unsigned offset) {
    return 0xFFFF0000ul | (offset & 0xFFFFu);
}

class SDK_API CDSPropertiesMapEntry {
public:
    CDSPropertiesMapEntry() = default;  // the terminator
    CDSPropertiesMapEntry(IDSParamDef* definition, unsigned long location, unsigned int extra);
    CDSPropertiesMapEntry(const CDSPropertiesMapEntry&) = delete;
    CDSPropertiesMapEntry& operator=(const CDSPropertiesMapEntry&) = delete;
    ~CDSPropertiesMapEntry();  // releases the definition

    IDSParamDef* definition() const { return m_pParamDef; }
    unsigned offset() const { return static_cast<unsigned>(m_Location & 0xFFFFu); }
    bool isTerminator() const { return m_pParamDef == nullptr && m_Location == 0; }

private:
    IDSParamDef* m_pParamDef = nullptr;
    unsigned long m_Location = 0;
    [[maybe_unused]] unsigned int m_Extra = 0;  // kept as the host keeps it; nothing reads it
};

struct DSPROPERTIES_MAP {
    const DSPROPERTIES_MAP* m_pBaseMap;
    const CDSPropertiesMapEntry* m_pEntries;  // ends with an empty entry
};

// Told after a property of an effect changed (pages, viewer tools, the host's own views).
struct IDSPropertyListener {
    virtual void OnPropertyChanged(REFGUID id) = 0;

protected:
    ~IDSPropertyListener() = default;
};
