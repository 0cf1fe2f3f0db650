#include "sdk/host/image_effect.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <sstream>

#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/undo.hpp"
#include "sdk/platform/call_log.hpp"

namespace {

// The host's private identity: asked with it, an effect answers its CDSImageEffectEx part.
constexpr IID IID_CDSImageEffectEx = sdk::guid("6A3E1B2F-5D0C-4F7B-9A41-2C1E0F7D3B01");

const CDSPropertiesMapEntry kNoEntries[1];

const char* typeName(VARTYPE vt) {
    switch (vt) {
        case VT_I4:
            return "I4";
        case VT_BOOL:
            return "BOOL";
        case VT_R4:
            return "R4";
        case VT_R8:
            return "R8";
        default:
            return nullptr;
    }
}

}  // namespace

const DSPROPERTIES_MAP CDSImageEffectEx::m_PropertiesMap = {nullptr, kNoEntries};

CDSImageEffectEx::CDSImageEffectEx() = default;

CDSImageEffectEx::CDSImageEffectEx(const CDSImageEffectEx& other)
    : IDSImageEffect(), m_dwOptions(other.m_dwOptions), m_PropertyPages(other.m_PropertyPages) {
    std::copy(std::begin(other.m_Settings), std::end(other.m_Settings), m_Settings);
}

// The undo stack keeps no reference to the effects it names, so a going effect leaves it.
CDSImageEffectEx::~CDSImageEffectEx() {
    sdk::host::undoStack().forget(this);
}

HRESULT CDSImageEffectEx::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDSImageEffect) {
        *ppv = static_cast<IDSImageEffect*>(this);
    } else if (riid == IID_CDSImageEffectEx) {
        *ppv = this;
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CDSImageEffectEx::AddRef() {
    return ++m_cRef;
}

ULONG CDSImageEffectEx::Release() {
    const ULONG left = --m_cRef;
    if (left == 0) delete this;
    return left;
}

HRESULT CDSImageEffectEx::GetName(LPWSTR, int) {
    return E_NOTIMPL;
}
HRESULT CDSImageEffectEx::GetDescription(LPWSTR, int) {
    return E_NOTIMPL;
}
HRESULT CDSImageEffectEx::GetBitmap(HBITMAP*) {
    return E_NOTIMPL;
}
HRESULT CDSImageEffectEx::GetClassID(CLSID*) {
    return E_NOTIMPL;
}

HRESULT CDSImageEffectEx::Init() {
    if (auto failure = sdk::hostCall("CDSPlugInEffect::Init")) return *failure;
    return S_OK;
}

HRESULT CDSImageEffectEx::Term() {
    if (auto failure = sdk::hostCall("CDSPlugInEffect::Term")) return *failure;
    return S_OK;
}

HRESULT CDSImageEffectEx::SetDefaults() {
    if (auto failure = sdk::hostCall("CDSImageEffect::SetDefaults")) return *failure;
    return S_OK;
}

HRESULT CDSImageEffectEx::GetInfo(DSEffectInfo* record) {
    if (auto failure = sdk::hostCall("CDSImageEffect::GetInfo")) return *failure;
    if (record == nullptr) return E_POINTER;
    // A caller that leaves the version empty gets the host's current record.
    if (record->version == GUID_NULL) record->version = DSEFFECTINFO_VERSION;
    return S_OK;
}

HRESULT CDSImageEffectEx::GetImageEffectInfo(DSImageEffectInfo* record) {
    if (auto failure = sdk::hostCall("CDSImageEffect::GetImageEffectInfo")) return *failure;
    if (record == nullptr) return E_POINTER;
    record->size = sizeof(DSImageEffectInfo);
    if (record->version == GUID_NULL) record->version = DSIMAGEEFFECTINFO_VERSION;
    std::fill(std::begin(record->words), std::end(record->words), 0);
    return S_OK;
}

HRESULT CDSImageEffectEx::IsFormatSupported(REFGUID format) {
    return format == MFIF_RGBA_RAW_32 ? S_OK : S_FALSE;
}

HRESULT CDSImageEffectEx::IsPixelFormatSupported(REFGUID format) {
    return format == MFIF_RGBA_RAW_32 ? S_OK : S_FALSE;
}

HRESULT CDSImageEffectEx::Verify() {
    if (auto failure = sdk::hostCall("CDSImageEffect::Verify")) return *failure;
    return S_OK;
}

HRESULT CDSImageEffectEx::Execute(double) {
    return E_NOTIMPL;
}
HRESULT CDSImageEffectEx::Clone(REFIID, void** ppv) {
    if (ppv != nullptr) *ppv = nullptr;
    return E_NOTIMPL;
}
HRESULT CDSImageEffectEx::CloneAtTime(double, REFIID riid, void** ppv) {
    return Clone(riid, ppv);
}
HRESULT CDSImageEffectEx::GetTimeDependencyId(GUID* id) {
    if (id == nullptr) return E_POINTER;
    *id = GUID_NULL;
    return S_OK;
}
LONG CDSImageEffectEx::GetTimeDependencyMode() {
    return 0;
}

HRESULT CDSImageEffectEx::PrepareData() {
    if (auto failure = sdk::hostCall("CDSImageEffect::PrepareData")) return *failure;
    return S_OK;
}

const DSPROPERTIES_MAP* CDSImageEffectEx::GetPropertiesMap() const {
    return &m_PropertiesMap;
}

const CDSPropertiesMapEntry* CDSImageEffectEx::findEntry(REFGUID id) const {
    for (const DSPROPERTIES_MAP* map = GetPropertiesMap(); map != nullptr; map = map->m_pBaseMap) {
        for (const CDSPropertiesMapEntry* entry = map->m_pEntries; !entry->isTerminator();
             ++entry) {
            if (entry->definition() != nullptr && entry->definition()->GetIdentifier() == id) {
                return entry;
            }
        }
    }
    return nullptr;
}

std::vector<const CDSPropertiesMapEntry*> CDSImageEffectEx::Parameters() const {
    std::vector<const CDSPropertiesMapEntry*> entries;
    for (const DSPROPERTIES_MAP* map = GetPropertiesMap(); map != nullptr; map = map->m_pBaseMap) {
        for (const CDSPropertiesMapEntry* entry = map->m_pEntries; !entry->isTerminator();
             ++entry) {
            if (entry->definition() != nullptr) entries.push_back(entry);
        }
    }
    return entries;
}

std::byte* CDSImageEffectEx::fieldOf(const CDSPropertiesMapEntry& entry) const {
    // The location counts from the start of the property container, which is this part.
    auto* container = reinterpret_cast<std::byte*>(const_cast<CDSImageEffectEx*>(this));
    return container + entry.offset();
}

HRESULT CDSImageEffectEx::GetPlainProperty(REFGUID id, VARIANT* value) const {
    if (auto failure = sdk::hostCall("CDSBasePropertyContainer::GetPlainProperty")) return *failure;
    if (value == nullptr) return E_POINTER;
    const CDSPropertiesMapEntry* entry = findEntry(id);
    if (entry == nullptr) return DISP_E_MEMBERNOTFOUND;
    std::lock_guard lock(m_PropMutex);
    LONG stored = 0;
    std::memcpy(&stored, fieldOf(*entry), sizeof stored);
    VariantInit(value);
    switch (entry->definition()->GetValueType()) {
        case VT_I4:
            value->vt = VT_I4;
            value->lVal = stored;
            return S_OK;
        case VT_BOOL:
            value->vt = VT_BOOL;
            value->boolVal = stored != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT CDSImageEffectEx::SetPlainProperty(REFGUID id, const VARIANT& value, IUnknown* sender) {
    if (auto failure = sdk::hostCall("CDSBasePropertyContainer::SetPlainProperty")) return *failure;
    const CDSPropertiesMapEntry* entry = findEntry(id);
    if (entry == nullptr) return DISP_E_MEMBERNOTFOUND;
    const VARTYPE type = entry->definition()->GetValueType();
    if (value.vt != type) return DISP_E_TYPEMISMATCH;
    LONG stored = 0;
    if (type == VT_I4) {
        stored = value.lVal;
    } else if (type == VT_BOOL) {
        stored = value.boolVal != VARIANT_FALSE ? 1 : 0;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    {
        std::lock_guard lock(m_PropMutex);
        std::memcpy(fieldOf(*entry), &stored, sizeof stored);
        m_bDirty = true;
    }
    return OnPropertyChanged(id, &value, sender, nullptr, 0, 0);
}

HRESULT CDSImageEffectEx::OnPropertyChanged(REFGUID id, const VARIANT*, IUnknown*, void*, int,
                                            DWORD) {
    if (auto failure = sdk::hostCall("CDSImageEffect::OnPropertyChanged")) return *failure;
    std::vector<IDSPropertyListener*> listeners;
    {
        std::lock_guard lock(m_PropMutex);
        listeners = m_Listeners;
    }
    for (IDSPropertyListener* listener : listeners) listener->OnPropertyChanged(id);
    return S_OK;
}

HRESULT CDSImageEffectEx::CopyAnimation(const CDSImageEffectEx& other) {
    if (auto failure = sdk::hostCall("CDSBasePropertyContainer::CopyAnimation")) return *failure;
    // Parameters here hold no keyframes: the values travel with the copied fields. A render
    // thread copies while the interface thread may be writing the other's parameters.
    if (&other == this) return S_OK;
    std::scoped_lock lock(m_PropMutex, other.m_PropMutex);
    m_bDirty = other.m_bDirty;
    return S_OK;
}

void CDSImageEffectEx::AddPropertyListener(IDSPropertyListener* listener) {
    std::lock_guard lock(m_PropMutex);
    if (listener != nullptr &&
        std::find(m_Listeners.begin(), m_Listeners.end(), listener) == m_Listeners.end()) {
        m_Listeners.push_back(listener);
    }
}

void CDSImageEffectEx::RemovePropertyListener(IDSPropertyListener* listener) {
    std::lock_guard lock(m_PropMutex);
    std::erase(m_Listeners, listener);
}

HRESULT CDSImageEffectEx::HasPropertyPage(REFCLSID page) const {
    if (auto failure = sdk::hostCall("CDSBasePropertyContainer::HasPropertyPage")) return *failure;
    return std::find(m_PropertyPages.begin(), m_PropertyPages.end(), page) != m_PropertyPages.end()
               ? S_OK
               : S_FALSE;
}

HRESULT CDSImageEffectEx::AddPropertyPage(REFCLSID page) {
    if (auto failure = sdk::hostCall("CDSBasePropertyContainer::AddPropertyPage")) return *failure;
    if (std::find(m_PropertyPages.begin(), m_PropertyPages.end(), page) == m_PropertyPages.end()) {
        m_PropertyPages.push_back(page);
    }
    return S_OK;
}

// --- presets --------------------------------------------------------------------------------

namespace {

constexpr std::string_view kPresetHeader = "DS-Preset 1";

// Text of a preset quoted in an error: a preset line is printable ASCII, so anything else is
// shown as \xNN (escape sequences never reach a terminal), and a long line only by its start.
std::string excerpt(std::string_view text) {
    constexpr std::size_t kLongest = 48;
    std::string out = "'";
    std::size_t shown = 0;
    for (; shown < text.size() && out.size() <= kLongest; ++shown) {
        const auto c = static_cast<unsigned char>(text[shown]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            constexpr char kDigits[] = "0123456789ABCDEF";
            out += {'\\', 'x', kDigits[c >> 4], kDigits[c & 0xF]};
        }
    }
    out += shown < text.size() ? "'..." : "'";
    return out;
}

}  // namespace

HRESULT CDSImageEffectEx::SavePreset(std::string* text) const {
    if (text == nullptr) return E_POINTER;
    std::ostringstream out;
    CLSID clsid{};
    const_cast<CDSImageEffectEx*>(this)->GetClassID(&clsid);
    out << kPresetHeader << "\nclass " << sdk::formatGuid(clsid) << "\n";
    for (const CDSPropertiesMapEntry* entry : Parameters()) {
        VARIANT value;
        // A preset without one of the values would later apply as if it were whole.
        if (const HRESULT hr = GetPlainProperty(entry->definition()->GetIdentifier(), &value);
            FAILED(hr)) {
            return hr;
        }
        out << sdk::formatGuid(entry->definition()->GetIdentifier()) << ' ' << typeName(value.vt)
            << ' ' << (value.vt == VT_I4 ? value.lVal : value.boolVal != 0) << '\n';
    }
    *text = out.str();
    return S_OK;
}

std::string CDSImageEffectEx::SavePreset() const {
    std::string text;
    return SUCCEEDED(SavePreset(&text)) ? text : std::string();
}

HRESULT CDSImageEffectEx::LoadPreset(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return E_INVALIDARG;
    };
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kPresetHeader) {
        return fail("not a preset: the first line is not '" + std::string(kPresetHeader) + "'");
    }
    CLSID own{};
    GetClassID(&own);
    std::vector<std::pair<GUID, VARIANT>> values;
    int lineNumber = 1;
    bool sawClass = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string first, second, third, extra;
        fields >> first >> second;
        const std::string where = "line " + std::to_string(lineNumber) + " " + excerpt(line);
        if (first == "class") {
            const auto clsid = sdk::parseGuid(second);
            if (!clsid) return fail(where + ": " + excerpt(second) + " is not a class identifier");
            if (*clsid != own) {
                return fail(where + ": the preset is for class " + excerpt(second) +
                            ", not this effect (" + sdk::formatGuid(own) + ")");
            }
            sawClass = true;
            continue;
        }
        fields >> third;
        if (third.empty() || (fields >> extra)) {
            return fail(where + ": expected 'identifier type value'");
        }
        const auto id = sdk::parseGuid(first);
        if (!id) return fail(where + ": " + excerpt(first) + " is not a parameter identifier");
        const CDSPropertiesMapEntry* entry = findEntry(*id);
        if (entry == nullptr) {
            return fail(where + ": this effect has no parameter " + excerpt(first));
        }
        const VARTYPE type = entry->definition()->GetValueType();
        const char* expectedType = typeName(type);
        if (expectedType == nullptr || second != expectedType) {
            return fail(where + ": parameter " + first + " takes " +
                        (expectedType ? expectedType : "another type") + ", not " +
                        excerpt(second));
        }
        long long number = 0;
        const auto [end, ec] = std::from_chars(third.data(), third.data() + third.size(), number);
        if (ec != std::errc() || end != third.data() + third.size() ||
            number < std::numeric_limits<LONG>::min() ||
            number > std::numeric_limits<LONG>::max() ||
            (type == VT_BOOL && number != 0 && number != 1)) {
            return fail(where + ": " + excerpt(third) + " is not a value of type " + second +
                        (type == VT_BOOL ? " (0 or 1)" : " (a 32-bit integer)"));
        }
        VARIANT value;
        VariantInit(&value);
        value.vt = type;
        if (type == VT_I4) {
            value.lVal = static_cast<LONG>(number);
        } else {
            value.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        }
        values.emplace_back(*id, value);
    }
    if (!sawClass) return fail("not a preset: it names no effect class");
    // All values or none, and under the property lock, so that a render reading the parameters
    // meanwhile sees the old set or the new one, never a mix. The fields are kept as stored,
    // which cannot fail, so a write refused half-way is always undone in full.
    std::lock_guard lock(m_PropMutex);
    std::vector<std::pair<GUID, LONG>> previous;
    for (const auto& [id, value] : values) {
        LONG stored = 0;
        std::memcpy(&stored, fieldOf(*findEntry(id)), sizeof stored);
        previous.emplace_back(id, stored);
    }
    for (const auto& [id, value] : values) {
        const HRESULT hr = SetPlainProperty(id, value);
        if (FAILED(hr)) {
            for (const auto& [oldId, oldValue] : previous) {
                std::memcpy(fieldOf(*findEntry(oldId)), &oldValue, sizeof oldValue);
            }
            for (const auto& [oldId, oldValue] : previous) {
                OnPropertyChanged(oldId, nullptr, nullptr, nullptr, 0, 0);
            }
            if (error != nullptr)
                *error = "the host refused to set parameter " + sdk::formatGuid(id);
            return hr;
        }
    }
    return S_OK;
}

namespace sdk::host {

CDSImageEffectEx* effectBase(IUnknown* effect) {
    if (effect == nullptr) return nullptr;
    void* base = nullptr;
    if (FAILED(effect->QueryInterface(IID_CDSImageEffectEx, &base))) return nullptr;
    auto* result = static_cast<CDSImageEffectEx*>(base);
    result->Release();
    return result;
}

}  // namespace sdk::host
