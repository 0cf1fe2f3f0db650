// The test-pattern effect: its identity and information records for the host, its copies for
// the render threads, and the render of a frame.
#pragma once

#include "plugin/effect/kt_ds_effect.hpp"
#include "plugin/module/class_factory.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix {

// A second identity under which pages and tools ask for the effect object itself.
inline constexpr IID IID_KtDsEffectObject = sdk::guid("53A973D2-298B-11D3-AB9A-0000E8D8077F");

class Bars final : public KtDsEffect, public CDSImageEffectEx {
public:
    Bars();
    Bars(const Bars& other);
    Bars& operator=(const Bars&) = delete;
    ~Bars() override;

    // KtDsEffect
    KtTInteract* markOverlayChanged() override;
    void refreshOverlay() override;
    void updateOverlayGeometry() override;
    virtual HRESULT aggregate(void* outer);
    virtual HRESULT verifyEffect();

    // Host interfaces
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetName(LPWSTR buffer, int size) override;
    HRESULT GetDescription(LPWSTR buffer, int size) override;
    HRESULT GetBitmap(HBITMAP* bitmap) override;
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Init() override;
    HRESULT SetDefaults() override;
    HRESULT GetInfo(DSEffectInfo* record) override;
    HRESULT GetImageEffectInfo(DSImageEffectInfo* record) override;
    HRESULT IsPixelFormatSupported(REFGUID format) override;
    HRESULT Verify() override;
    HRESULT Execute(double time) override;
    HRESULT Clone(REFIID riid, void** ppv) override;
    HRESULT GetTimeDependencyId(GUID* id) override;
    LONG GetTimeDependencyMode() override;
    const DSPROPERTIES_MAP* GetPropertiesMap() const override;

    // Byte distance of parameter field `index` (0 Pattern, 1 Ramp Direction, 2 Hide Overlay
    // Controls) from the start of the property container part, for the property map.
    static unsigned parameterFieldOffset(int index);

    Bars* m_pCloneSource = nullptr;
    std::int32_t m_bCounted = 0;
    std::int32_t m_Pattern = 0;
    std::int32_t m_RampDirection = 0;
    std::int32_t m_HideOverlay = 0;

private:
    HRESULT loadText(UINT id, LPWSTR buffer, int size) const;
    void readInitialGeometry();
    template <class Pixel>
    HRESULT renderPixels(int fullScale);
    void storeGeometry(const KtFrameRect& output, const KtFrameRect& source,
                       const KtPixelOffset& outputOffset, const KtPixelOffset& sourceOffset);
};

// The factory queries and releases a new effect through its host part.
template <>
inline IUnknown* hostUnknown<Bars>(Bars* object) {
    return static_cast<IDSImageEffect*>(static_cast<CDSImageEffectEx*>(object));
}

}  // namespace pattix
