#include "plugin/effect/bars.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>

#include "plugin/module/class_ids.hpp"
#include "plugin/module/module_state.hpp"
#include "plugin/module/project_value.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/project.hpp"
#include "sdk/platform/resources.hpp"

namespace pattix {
namespace {

// Effect kinds by the host category the effect is placed under, tested in this order.
struct CategoryKind {
    GUID category;
    std::int32_t kind;
};
constexpr CategoryKind kCategoryKinds[] = {
    {sdk::guid("AE0D7C31-95AA-11D0-B685-00A024191AE0"), kKindFilter},
    {sdk::guid("28610EB3-AECA-11D1-BFAD-0800368E7203"), kKindFilter},
    {sdk::guid("AE0D7C40-95AA-11D0-B685-00A024191AE0"), kKindMasked},
    {sdk::guid("61054A81-9662-11D0-B685-00A024191AE0"), kKindGenerator},
    {sdk::guid("61054A80-9662-11D0-B685-00A024191AE0"), kKindTransition},
    {sdk::guid("AE0D7C33-95AA-11D0-B685-00A024191AE0"), kKindPlainFilter},
    {sdk::guid("AE0D7C34-95AA-11D0-B685-00A024191AE0"), kKindOutputOnly},
    {sdk::guid("95F7E8A0-8B84-11D1-94A3-00A0C911C625"), kKindFilter},
};

// The effect interfaces the host learns from GetInfo.
constexpr GUID kEffectInterface = sdk::guid("0BC5A2F0-5C49-11CF-A04A-00A02418CFB9");
constexpr GUID kEffectInterfaceEx = sdk::guid("0BC5A2F2-5C49-11CF-A04A-00A02418CFB9");

constexpr DWORD kOptionTwoInputs = 0x10;
constexpr float kOverlayTolerance = 0.01f;

}  // namespace

Bars::Bars() : KtDsEffect(this), CDSImageEffectEx() {
    m_bCounted = ClassCounter<Bars>::increment() ? 1 : 0;
    m_EffectName[0] = L'\0';
    m_EffectKind = kKindUnplaced;
    Init();
    readInitialGeometry();
}

Bars::Bars(const Bars& other) : KtDsEffect(this), CDSImageEffectEx(other) {
    m_bCounted = ClassCounter<Bars>::increment() ? 1 : 0;
    CopyAnimation(other);
    std::wmemcpy(m_EffectName, other.m_EffectName, std::size(m_EffectName));
    std::copy(std::begin(other.m_Settings), std::end(other.m_Settings), m_Settings);
    m_EffectKind = other.m_EffectKind;
    m_FieldMode = other.m_FieldMode;
    other.PropLock();
    m_Pattern = other.m_Pattern;
    m_RampDirection = other.m_RampDirection;
    m_HideOverlay = other.m_HideOverlay;
    other.PropUnLock();
    const KtRenderGeometry geometry = other.renderGeometry();
    m_OutputFrame = geometry.outputFrame;
    m_SourceRect = geometry.sourceRect;
    m_pCloneSource = const_cast<Bars*>(&other);
}

Bars::~Bars() {
    Term();
    if (m_bCounted) ClassCounter<Bars>::decrement();
}

void Bars::readInitialGeometry() {
    double userX = 0.0, userY = 0.0;
    if (!readProjectValue(sdk::host::kFrameUserSizeX, userX) ||
        !readProjectValue(sdk::host::kFrameUserSizeY, userY)) {
        userX = userY = 0.0;
    }
    double ratio = 1.0;
    double userY2 = 0.0, worldY = 0.0;
    // A world height of 0 gives no ratio, as if it could not be read.
    if (readProjectValue(sdk::host::kFrameUserSizeY, userY2) &&
        readProjectValue(sdk::host::kFrameWorldSizeY, worldY) && std::isfinite(userY2 / worldY)) {
        ratio = userY2 / worldY;
    }
    const KtFrameRect frame{static_cast<float>(userX * ratio), static_cast<float>(userY), 0.0f,
                            0.0f};
    std::lock_guard lock(m_LinkMutex);
    m_OutputFrame = frame;
    m_SourceRect = frame;
}

// Only the layout of Bars is asked here; no object is built or touched.
__attribute__((no_sanitize("undefined"))) unsigned Bars::parameterFieldOffset(int index) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    const std::size_t fields[] = {offsetof(Bars, m_Pattern), offsetof(Bars, m_RampDirection),
                                  offsetof(Bars, m_HideOverlay)};
#pragma GCC diagnostic pop
    constexpr std::uintptr_t kProbe = 0x10000;
    const std::uintptr_t container = reinterpret_cast<std::uintptr_t>(
        static_cast<CDSBasePropertyContainer*>(reinterpret_cast<Bars*>(kProbe)));
    return static_cast<unsigned>(fields[index] - (container - kProbe));
}

// --- overlay ------------------------------------------------------------------------------

KtTInteract* Bars::markOverlayChanged() {
    std::lock_guard lock(m_LinkMutex);
    if (m_pOverlayTool == nullptr) return nullptr;
    m_OverlayFlags |= kOverlayGeometryChanged;
    return m_pOverlayTool;
}

void Bars::refreshOverlay() {
    std::lock_guard lock(m_LinkMutex);
    if (m_pOverlayTool == nullptr) return;
    updateOverlayGeometry();
    m_pOverlayTool->InvalidateLayer(KtTInteract::kOverlayLayer, nullptr);
}

void Bars::updateOverlayGeometry() {
    std::lock_guard lock(m_LinkMutex);
    KtTInteract* tool = m_pOverlayTool;
    if (tool == nullptr) return;
    const KtFrameRect& source = m_SourceRect;
    // A rectangle made from unusable image geometry would put the overlay nowhere.
    if (!std::isfinite(source.x) || !std::isfinite(source.y) || !std::isfinite(source.w) ||
        !std::isfinite(source.h)) {
        return;
    }
    {
        std::lock_guard toolLock(tool->sourceLock());
        const KtRectF& shown = tool->m_SrcRect;
        if (std::fabs(source.x - shown.x) <= kOverlayTolerance &&
            std::fabs(source.y - shown.y) <= kOverlayTolerance &&
            std::fabs(source.w - shown.w) <= kOverlayTolerance &&
            std::fabs(source.h - shown.h) <= kOverlayTolerance) {
            return;
        }
        tool->m_SrcRect = {source.x, source.y, source.w, source.h};
        tool->m_SrcCentre.followCentre({source.x + source.w * 0.5f, source.y + source.h * 0.5f});
    }
    tool->InvalidateLayer(KtTInteract::kOverlayLayer, nullptr);
}

HRESULT Bars::aggregate(void* /*outer*/) {
    return CLASS_E_NOAGGREGATION;
}
HRESULT Bars::verifyEffect() {
    return S_OK;
}

// --- identity -----------------------------------------------------------------------------

HRESULT Bars::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == CLSID_Bars || riid == IID_KtDsEffectObject) {
        AddRef();
        *ppv = static_cast<KtDsEffect*>(this);
        return S_OK;
    }
    return CDSImageEffectEx::QueryInterface(riid, ppv);
}

HRESULT Bars::loadText(UINT id, LPWSTR buffer, int size) const {
    if (buffer == nullptr) return E_POINTER;
    // A buffer with no room would make the string loader hand back a pointer instead.
    if (size < 1) return E_INVALIDARG;
    std::wmemset(buffer, L'\0', static_cast<std::size_t>(size));
    if (LoadStringW(moduleInstance(), id, buffer, size) < 1) return E_FAIL;
    return S_OK;
}

HRESULT Bars::GetName(LPWSTR buffer, int size) {
    const HRESULT hr = loadText(IDS_EFFECT_NAME, buffer, size);
    if (FAILED(hr)) return hr;
    std::wcsncpy(m_EffectName, buffer, std::size(m_EffectName) - 1);
    m_EffectName[std::size(m_EffectName) - 1] = L'\0';
    return S_OK;
}

HRESULT Bars::GetDescription(LPWSTR buffer, int size) {
    return loadText(IDS_EFFECT_DESCRIPTION, buffer, size);
}

HRESULT Bars::GetBitmap(HBITMAP* bitmap) {
    if (bitmap == nullptr) return E_POINTER;
    *bitmap = LoadBitmapW(moduleInstance(), MAKEINTRESOURCEW(IDB_EFFECT));
    return *bitmap != nullptr ? S_OK : E_FAIL;
}

HRESULT Bars::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_Bars;
    return S_OK;
}

HRESULT Bars::GetTimeDependencyId(GUID* id) {
    if (id == nullptr) return E_POINTER;
    *id = GUID_NULL;
    return S_OK;
}

LONG Bars::GetTimeDependencyMode() {
    return 1;
}

const DSPROPERTIES_MAP* Bars::GetPropertiesMap() const {
    return &effectPropertiesMap();
}

// --- parameters -----------------------------------------------------------------------------

HRESULT Bars::SetDefaults() {
    const HRESULT hr = CDSImageEffect::SetDefaults();
    if (FAILED(hr)) return hr;
    PropLock();
    m_Pattern = kPatternEbuBars;
    m_RampDirection = kDirectionHorizontal;
    m_HideOverlay = 0;
    PropUnLock();
    std::fill(std::begin(m_Settings), std::end(m_Settings), 1);
    return CDSImageEffect::OnPropertyChanged(DSPROPERTY_ALL, nullptr, nullptr, nullptr, 0, 0x8000);
}

HRESULT Bars::Init() {
    const HRESULT hr = CDSPlugInEffect::Init();
    if (FAILED(hr)) return hr;
    return SetDefaults();
}

// --- information records --------------------------------------------------------------------

HRESULT Bars::GetInfo(DSEffectInfo* record) {
    const HRESULT hr = CDSImageEffect::GetInfo(record);
    if (FAILED(hr)) return hr;
    if (record->version != DSEFFECTINFO_VERSION) return E_INVALIDARG;
    record->effectInterface = kEffectInterface;
    record->effectInterfaceEx = kEffectInterfaceEx;
    record->clsid = CLSID_Bars;
    record->reserved[0] = 0;
    record->reserved[1] = 0;
    return hr;
}

HRESULT Bars::GetImageEffectInfo(DSImageEffectInfo* record) {
    const HRESULT hr = CDSImageEffect::GetImageEffectInfo(record);
    if (FAILED(hr)) return hr;
    if (record->version != DSIMAGEEFFECTINFO_VERSION) return E_INVALIDARG;
    for (const CategoryKind& entry : kCategoryKinds) {
        if (entry.category == record->category) {
            m_EffectKind = entry.kind;
            break;
        }
    }
    if ((m_RegistrationFlags & kPagesHandedOver) == 0) {
        m_RegistrationFlags |= kPagesHandedOver;
        if (m_EffectKind == kKindFilter || m_EffectKind == kKindGenerator) {
            for (const CLSID* page : {&CLSID_BarsPPG, &CLSID_HelpPPG}) {
                HasPropertyPage(*page);
                AddPropertyPage(*page);
            }
        }
    }
    const bool masked = m_EffectKind == kKindMasked;
    const bool twoInputs = m_EffectKind == kKindTransition;
    LONG* words = record->words;  // byte 36 onward
    words[0] = 0;
    words[1] = masked ? 96 : 0;
    words[2] = masked ? 8 : 2;
    words[3] = 1;
    words[4] = twoInputs ? 1 : 0;
    words[5] = masked ? 1 : 0;
    words[6] = 0;
    words[7] = masked ? 1 : 0;
    words[8] = 0;
    words[9] = twoInputs ? 0x31A : 0x30A;
    if (twoInputs) m_dwOptions |= kOptionTwoInputs;
    return hr;
}

HRESULT Bars::IsPixelFormatSupported(REFGUID format) {
    return format == MFIF_RGBA_RAW_32 || format == MFIF_RGBA_S2_14 ? S_OK : S_FALSE;
}

HRESULT Bars::Verify() {
    HRESULT hr = CDSImageEffect::Verify();
    if (FAILED(hr)) return hr;
    hr = verifyEffect();
    if (FAILED(hr)) return hr;
    const DSRenderData& data = RenderData();
    if (data.output == nullptr) return E_POINTER;
    switch (m_EffectKind) {
        case kKindFilter:
        case kKindPlainFilter:
        case kKindMasked:
        case kKindTransition:
        case kKindOtherFilter:
            if (data.inputs[0] == nullptr) return E_POINTER;
            break;
        default:
            break;
    }
    if (m_EffectKind == kKindTransition && data.inputs[1] == nullptr) return E_POINTER;
    if (m_EffectKind == kKindMasked && data.pixelMask == nullptr) return E_POINTER;
    return S_OK;
}

HRESULT Bars::Clone(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    Bars* copy = new (std::nothrow) Bars(*this);
    if (copy == nullptr) return E_OUTOFMEMORY;
    IUnknown* unknown = hostUnknown(copy);
    const HRESULT hr = unknown->QueryInterface(riid, ppv);
    unknown->Release();
    return hr;
}

}  // namespace pattix
