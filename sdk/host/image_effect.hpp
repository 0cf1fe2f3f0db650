// The host's image-effect base: what every image effect inherits from the host SDK. The
// host's chain of bases (plug-in effect, property containers, COM object, time span) is
// collapsed into CDSImageEffectEx; the old names stay as aliases so effects read as usual.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/host/image.hpp"
#include "sdk/host/properties.hpp"
#include "sdk/host/render_context.hpp"
#include "sdk/platform/gdi.hpp"

inline constexpr IID IID_IDSImageEffect = sdk::guid("6A3E1B24-5D0C-4F7B-9A41-2C1E0F7D3B01");

// Version identifiers the host writes into the information records it hands out.
inline constexpr GUID DSEFFECTINFO_VERSION = sdk::guid("5E3D73B1-D900-11CF-828E-00A0243F1013");
inline constexpr GUID DSIMAGEEFFECTINFO_VERSION = sdk::guid("6024B980-B7F4-11D0-82D3-00A0243F1013");

// Effect information record (GetInfo).
struct DSEffectInfo {
    GUID version;
    GUID effectInterface;
    GUID effectInterfaceEx;
    CLSID clsid;
    LONG reserved[2];
};
static_assert(sizeof(DSEffectInfo) == 72);

// Image-effect information record (GetImageEffectInfo): the category at byte 20, then ten
// 32-bit words from byte 36.
struct DSImageEffectInfo {
    DWORD size;
    GUID version;
    GUID category;
    LONG words[10];
};
static_assert(offsetof(DSImageEffectInfo, version) == 4);
static_assert(offsetof(DSImageEffectInfo, category) == 20);
static_assert(offsetof(DSImageEffectInfo, words) == 36);

// Host category identifiers of effects.
inline constexpr GUID DSCATEGORY_GENERATOR = sdk::guid("61054A81-9662-11D0-B685-00A024191AE0");

// The region of interest, in host pixels (x from the left, y from the bottom row).
struct DSRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum DSFieldIndicator : int { DS_FIELD_FRAME = 0, DS_FIELD_FIRST = 1, DS_FIELD_SECOND = 2 };

// Everything the host stores in the effect before calling Execute. Not owned by the effect:
// the host keeps the objects alive for the call.
struct DSRenderData {
    IDSImage* output = nullptr;
    IDSImage* inputs[2] = {nullptr, nullptr};
    IDSImage* pixelMask = nullptr;
    DSRegion region;
    bool regionSet = false;
    int field = DS_FIELD_FRAME;
    IDSCoordinateManager* coordinates = nullptr;
    IDSExecutionContext* context = nullptr;
};

// The effect interface the host drives, one vtable for all of the host's effect interfaces.
struct IDSImageEffect : IUnknown {
    // Name, description and bitmap shown in the host's effect browser.
    virtual HRESULT GetName(LPWSTR buffer, int size) = 0;
    virtual HRESULT GetDescription(LPWSTR buffer, int size) = 0;
    virtual HRESULT GetBitmap(HBITMAP* bitmap) = 0;
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT Init() = 0;
    virtual HRESULT Term() = 0;
    virtual HRESULT SetDefaults() = 0;
    virtual HRESULT GetInfo(DSEffectInfo* record) = 0;
    virtual HRESULT GetImageEffectInfo(DSImageEffectInfo* record) = 0;
    virtual HRESULT IsFormatSupported(REFGUID format) = 0;
    virtual HRESULT IsPixelFormatSupported(REFGUID format) = 0;
    virtual HRESULT Verify() = 0;
    virtual HRESULT Execute(double time) = 0;
    virtual HRESULT Clone(REFIID riid, void** ppv) = 0;
    virtual HRESULT CloneAtTime(double time, REFIID riid, void** ppv) = 0;
    virtual HRESULT GetTimeDependencyId(GUID* id) = 0;
    virtual LONG GetTimeDependencyMode() = 0;

protected:
    ~IDSImageEffect() = default;
};

class SDK_API CDSImageEffectEx : public IDSImageEffect {
public:
    CDSImageEffectEx();
    CDSImageEffectEx(const CDSImageEffectEx& other);
    CDSImageEffectEx& operator=(const CDSImageEffectEx&) = delete;
    virtual ~CDSImageEffectEx();

    // The host part answers IUnknown, IDSImageEffect and the host's private identity.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetName(LPWSTR buffer, int size) override;
    HRESULT GetDescription(LPWSTR buffer, int size) override;
    HRESULT GetBitmap(HBITMAP* bitmap) override;
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Init() override;
    HRESULT Term() override;
    HRESULT SetDefaults() override;
    HRESULT GetInfo(DSEffectInfo* record) override;
    HRESULT GetImageEffectInfo(DSImageEffectInfo* record) override;
    HRESULT IsFormatSupported(REFGUID format) override;
    HRESULT IsPixelFormatSupported(REFGUID format) override;
    HRESULT Verify() override;
    HRESULT Execute(double time) override;
    HRESULT Clone(REFIID riid, void** ppv) override;
    HRESULT CloneAtTime(double time, REFIID riid, void** ppv) override;
    HRESULT GetTimeDependencyId(GUID* id) override;
    LONG GetTimeDependencyMode() override;

    // --- render data ------------------------------------------------------------------
    void SetRenderData(const DSRenderData& data) { m_RenderData = data; }
    const DSRenderData& RenderData() const { return m_RenderData; }
    HRESULT PrepareData();

    // --- property container ---------------------------------------------------------------
    // The effect's static map; its base map is m_PropertiesMap.
    virtual const DSPROPERTIES_MAP* GetPropertiesMap() const;
    static const DSPROPERTIES_MAP m_PropertiesMap;

    // Reads or writes a parameter by identifier through its map entry. Unknown identifier:
    // DISP_E_MEMBERNOTFOUND; a value of another type: DISP_E_TYPEMISMATCH.
    HRESULT GetPlainProperty(REFGUID id, VARIANT* value) const;
    HRESULT SetPlainProperty(REFGUID id, const VARIANT& value, IUnknown* sender = nullptr);
    // The declared parameters in map order, own map first.
    std::vector<const CDSPropertiesMapEntry*> Parameters() const;

    virtual HRESULT OnPropertyChanged(REFGUID id, const VARIANT* value, IUnknown* sender,
                                      void* parameters, int reason, DWORD flags);
    HRESULT CopyAnimation(const CDSImageEffectEx& other);
    void PropLock() const { m_PropMutex.lock(); }
    void PropUnLock() const { m_PropMutex.unlock(); }
    void SetDirtyState(bool dirty) { m_bDirty = dirty; }
    bool IsDirty() const { return m_bDirty; }

    void AddPropertyListener(IDSPropertyListener* listener);
    void RemovePropertyListener(IDSPropertyListener* listener);

    // --- presets ----------------------------------------------------------------------
    // The parameter values as text, one "identifier type value" line each. Fails with the
    // host's answer, and gives no text, when a value cannot be read.
    HRESULT SavePreset(std::string* text) const;
    // The same text, or an empty one when a value cannot be read.
    std::string SavePreset() const;
    // Applies a preset saved from an effect of the same class, all values or none, under the
    // property lock. Nothing is changed unless every line is good; a bad one gives E_INVALIDARG
    // and says which and why in `error`, quoting at most the start of the line, made printable.
    HRESULT LoadPreset(const std::string& text, std::string* error);

    // --- property pages ---------------------------------------------------------------
    // The page list: the effect checks a page (sixth entry of the host interface) and then
    // adds it (fifth entry); the host offers the listed pages.
    HRESULT HasPropertyPage(REFCLSID page) const;
    HRESULT AddPropertyPage(REFCLSID page);
    const std::vector<CLSID>& PropertyPages() const { return m_PropertyPages; }

protected:
    // The four settings SetDefaults sets to 1 (render per field, cache, preview, realtime).
    LONG m_Settings[4] = {0, 0, 0, 0};
    DWORD m_dwOptions = 0;
    DSRenderData m_RenderData;

private:
    const CDSPropertiesMapEntry* findEntry(REFGUID id) const;
    std::byte* fieldOf(const CDSPropertiesMapEntry& entry) const;

    std::atomic<ULONG> m_cRef{1};
    mutable std::recursive_mutex m_PropMutex;
    bool m_bDirty = false;
    std::vector<IDSPropertyListener*> m_Listeners;
    std::vector<CLSID> m_PropertyPages;
};

using CDSImageEffect = CDSImageEffectEx;
using CDSPlugInEffect = CDSImageEffectEx;
using CDSBasePropertyContainer = CDSImageEffectEx;

namespace sdk::host {

// The host's identity of an effect object: its CDSImageEffectEx part, from any interface.
SDK_API CDSImageEffectEx* effectBase(IUnknown* effect);

}  // namespace sdk::host
