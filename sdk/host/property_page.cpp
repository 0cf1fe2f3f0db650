#include "sdk/host/property_page.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

#include "sdk/host/image_effect.hpp"
#include "sdk/host/undo.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/com.hpp"
#include "sdk/platform/resources.hpp"
#include "sdk/platform/wide_text.hpp"

namespace {

const CDSPPGControlMapEntry kNoControls[] = {
    {GUID_NULL, VT_EMPTY, DSPPG_NONE, VT_EMPTY, DSPPG_NONE, nullptr, DSPPG_COMMAND, DSPPG_NONE,
     DSPPG_NONE},
};

constexpr int kTextRoom = 256;

std::wstring loadText(HINSTANCE module, DWORD id) {
    if (id == DSPPG_NONE) return {};
    WCHAR text[kTextRoom];
    if (LoadStringW(module, id, text, kTextRoom) <= 0) return {};
    return text;
}

LPWSTR taskString(const std::wstring& text) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy != nullptr) std::wmemcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// The value a control shows, as a number: a combo's selected item, a check box's check, or the
// number in its text. Nothing when the control shows none.
std::optional<LONG> controlValue(HWND control) {
    if (sdk::equalsIgnoringCase(control->className, L"COMBOBOX")) {
        const LRESULT selection = SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (selection == CB_ERR) return std::nullopt;
        return static_cast<LONG>(selection);
    }
    if (sdk::equalsIgnoringCase(control->className, L"BUTTON")) {
        return SendMessageW(control, BM_GETCHECK, 0, 0) == static_cast<LRESULT>(BST_CHECKED) ? 1
                                                                                             : 0;
    }
    WCHAR text[kTextRoom];
    SendMessageW(control, WM_GETTEXT, kTextRoom, reinterpret_cast<LPARAM>(text));
    WCHAR* end = nullptr;
    const long number = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0') return std::nullopt;
    return static_cast<LONG>(number);
}

void showValue(HWND control, LONG value) {
    if (sdk::equalsIgnoringCase(control->className, L"COMBOBOX")) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
    } else if (sdk::equalsIgnoringCase(control->className, L"BUTTON")) {
        SendMessageW(control, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    } else {
        const std::wstring text = std::to_wstring(value);
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

VARIANT variantOf(VARTYPE type, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_BOOL) {
        v.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        v.vt = VT_I4;
        v.lVal = value;
    }
    return v;
}

}  // namespace

// --- control maps -------------------------------------------------------------------------------

CDSPPGControlMapEntry::CDSPPGControlMapEntry(REFGUID property, VARTYPE propertyType,
                                             DWORD boundOffset, VARTYPE boundType, UINT controlId,
                                             DSPPGHandler handler, DWORD flags, DWORD tooltipId,
                                             DWORD reserved)
    : m_Property(property),
      m_PropertyType(propertyType),
      m_BoundOffset(boundOffset),
      m_BoundType(boundType),
      m_ControlId(controlId),
      m_Handler(handler),
      m_Flags(flags),
      m_TooltipId(tooltipId),
      m_Reserved(reserved) {}

CDSPPGControlMap::CDSPPGControlMap(const char* name, int version, const CDSPPGControlMap* baseMap,
                                   const CDSPPGControlMapEntry* entries)
    : m_Name(name), m_Version(version), m_pBaseMap(baseMap), m_pEntries(entries) {}

HRESULT CDSPPGControlMap::Initialize() {
    std::size_t count = 0;
    while (!m_pEntries[count].isTerminator()) ++count;
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (m_pEntries[i].m_ControlId == m_pEntries[j].m_ControlId) return E_UNEXPECTED;
        }
    }
    m_Count = count;
    m_bInitialized = true;
    return S_OK;
}

const CDSPPGControlMapEntry* CDSPPGControlMap::find(UINT controlId) const {
    for (const CDSPPGControlMap* map = this; map != nullptr; map = map->m_pBaseMap) {
        for (const CDSPPGControlMapEntry* entry = map->m_pEntries; !entry->isTerminator();
             ++entry) {
            if (entry->m_ControlId == controlId) return entry;
        }
    }
    return nullptr;
}

const CDSPPGControlMap CDSBasePropertyPage::m_ControlMap("DSBasePropertyPage", 1, nullptr,
                                                         kNoControls);

// --- the page
// -------------------------------------------------------------------------------------

CDSBasePropertyPage::CDSBasePropertyPage(UINT dialogId, UINT titleId)
    : m_DialogId(dialogId), m_TitleId(titleId) {
    m_Listener.page = this;
}

CDSBasePropertyPage::~CDSBasePropertyPage() {
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
    releaseObjects();
    if (m_pSite != nullptr) m_pSite->Release();
}

HRESULT CDSBasePropertyPage::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPropertyPage) {
        *ppv = static_cast<IPropertyPage*>(this);
    } else if (riid == IID_IDSPropertyNotifySink) {
        *ppv = static_cast<IDSPropertyNotifySink*>(this);
    } else if (riid == IID_IDSTransportNotifySink) {
        *ppv = static_cast<IDSTransportNotifySink*>(this);
    } else if (riid == IID_IDSXThreadNotifySink) {
        *ppv = static_cast<IDSXThreadNotifySink*>(this);
    } else if (riid == IID_IDSEnablePPGNotifications) {
        *ppv = static_cast<IDSEnablePPGNotifications*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CDSBasePropertyPage::AddRef() {
    return ++m_cRef;
}

ULONG CDSBasePropertyPage::Release() {
    const ULONG left = --m_cRef;
    if (left == 0) delete this;
    return left;
}

HRESULT CDSBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site != nullptr) site->AddRef();
    if (m_pSite != nullptr) m_pSite->Release();
    m_pSite = site;
    return S_OK;
}

INT_PTR CDSBasePropertyPage::dialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<CDSBasePropertyPage*>(lParam);
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        page->m_hWnd = dialog;
        return page->OnInitDialog();
    }
    auto* page = reinterpret_cast<CDSBasePropertyPage*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (page == nullptr) return FALSE;
    if (message == WM_COMMAND) {
        return page->onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    }
    if (message == sdk::toolTipMessage()) {
        auto* request = reinterpret_cast<sdk::ToolTipRequest*>(lParam);
        if (request == nullptr) return FALSE;
        return page->OnDSControlTooltip(static_cast<UINT>(wParam), request->text) == S_OK;
    }
    return FALSE;
}

HRESULT CDSBasePropertyPage::Activate(HWND parent, const RECT* rect, BOOL /*modal*/) {
    if (auto failure = sdk::hostCall("CDSBasePropertyPage::Activate")) return *failure;
    if (m_hWnd != nullptr) return E_UNEXPECTED;
    const HWND dialog =
        CreateDialogParamW(GetResourceModule(), MAKEINTRESOURCEW(m_DialogId), parent,
                           &CDSBasePropertyPage::dialogProcedure, reinterpret_cast<LPARAM>(this));
    if (dialog == nullptr) return E_FAIL;
    if (rect != nullptr) Move(rect);
    return S_OK;
}

HRESULT CDSBasePropertyPage::Deactivate() {
    if (m_hWnd == nullptr) return E_UNEXPECTED;
    const HWND dialog = m_hWnd;
    m_hWnd = nullptr;
    DestroyWindow(dialog);
    return S_OK;
}

HRESULT CDSBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (info == nullptr) return E_POINTER;
    const sdk::DialogTemplate* source = sdk::findDialogTemplate(GetResourceModule(), m_DialogId);
    if (source == nullptr) return E_FAIL;
    const RECT pixels = sdk::dialogTemplateRect(*source);
    *info = {};
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = taskString(loadText(GetResourceModule(), m_TitleId));
    if (info->pszTitle == nullptr) return E_OUTOFMEMORY;
    info->size = {pixels.right - pixels.left, pixels.bottom - pixels.top};
    return S_OK;
}

void CDSBasePropertyPage::releaseObjects() {
    for (CDSImageEffectEx* effect : m_Effects) {
        if (effect != nullptr) effect->RemovePropertyListener(&m_Listener);
    }
    m_Effects.clear();
    for (IUnknown* object : m_Objects) object->Release();
    m_Objects.clear();
}

HRESULT CDSBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (auto failure = sdk::hostCall("CDSBasePropertyPage::SetObjects")) return *failure;
    if (count > 0 && objects == nullptr) return E_POINTER;
    for (ULONG i = 0; i < count; ++i) {
        if (objects[i] == nullptr) return E_POINTER;
    }
    releaseObjects();
    for (ULONG i = 0; i < count; ++i) {
        objects[i]->AddRef();
        m_Objects.push_back(objects[i]);
        CDSImageEffectEx* effect = sdk::host::effectBase(objects[i]);
        if (effect != nullptr) effect->AddPropertyListener(&m_Listener);
        m_Effects.push_back(effect);
    }
    return S_OK;
}

HRESULT CDSBasePropertyPage::Show(UINT command) {
    if (auto failure = sdk::hostCall("CDSBasePropertyPage::Show")) return *failure;
    if (m_hWnd == nullptr) return E_UNEXPECTED;
    ShowWindow(m_hWnd, static_cast<int>(command));
    return S_OK;
}

HRESULT CDSBasePropertyPage::Move(const RECT* rect) {
    if (rect == nullptr) return E_POINTER;
    if (m_hWnd == nullptr) return E_UNEXPECTED;
    MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
}

// Changes are written as they are made, so there is never anything left to apply.
HRESULT CDSBasePropertyPage::IsPageDirty() {
    return S_FALSE;
}
HRESULT CDSBasePropertyPage::Apply() {
    return S_OK;
}
HRESULT CDSBasePropertyPage::Help(LPCWSTR /*helpFolder*/) {
    return E_NOTIMPL;
}
HRESULT CDSBasePropertyPage::TranslateAccelerator(void* /*message*/) {
    return S_FALSE;
}

// --- notifications
// --------------------------------------------------------------------------------

void CDSBasePropertyPage::Listener::OnPropertyChanged(REFGUID id) {
    page->PropertyChanged(id);
}

HRESULT CDSBasePropertyPage::PropertyChanged(REFGUID property) {
    if (auto failure = sdk::hostCall("CDSBasePropertyPage::PropertyChanged")) return *failure;
    if (m_hWnd == nullptr || !m_bNotifications) return S_OK;
    const CDSPPGControlMap* map = GetControlMap();
    for (const CDSPPGControlMap* m = map; m != nullptr; m = m->baseMap()) {
        for (const CDSPPGControlMapEntry& entry : m->entries()) {
            if (entry.editsProperty() &&
                (property == DSPROPERTY_ALL || entry.m_Property == property)) {
                SetControlFromProperty(entry.m_ControlId);
            }
        }
    }
    return S_OK;
}

HRESULT CDSBasePropertyPage::TimeChanged(double /*time*/) {
    return m_bNotifications ? UpdateAnimatedControls() : S_OK;
}

HRESULT CDSBasePropertyPage::PostPropertyChanged(REFGUID property) {
    std::lock_guard lock(m_PostedMutex);
    if (std::find(m_Posted.begin(), m_Posted.end(), property) == m_Posted.end()) {
        m_Posted.push_back(property);
    }
    return S_OK;
}

HRESULT CDSBasePropertyPage::DeliverPosted() {
    std::vector<GUID> posted;
    {
        std::lock_guard lock(m_PostedMutex);
        posted.swap(m_Posted);
    }
    for (const GUID& property : posted) PropertyChanged(property);
    return S_OK;
}

HRESULT CDSBasePropertyPage::EnableNotifications(BOOL enable) {
    m_bNotifications = enable != FALSE;
    return S_OK;
}

// --- the control map's work
// -----------------------------------------------------------------------

const CDSPPGControlMap* CDSBasePropertyPage::GetControlMap() {
    return &m_ControlMap;
}
HINSTANCE CDSBasePropertyPage::GetResourceModule() {
    return nullptr;
}
BOOL CDSBasePropertyPage::OnInitDialog() {
    return FALSE;
}

HRESULT CDSBasePropertyPage::UpdateAnimatedControls() {
    if (m_hWnd == nullptr) return S_OK;
    for (const CDSPPGControlMap* m = GetControlMap(); m != nullptr; m = m->baseMap()) {
        for (const CDSPPGControlMapEntry& entry : m->entries()) {
            if (entry.editsProperty()) SetControlFromProperty(entry.m_ControlId);
        }
    }
    return S_OK;
}

HWND CDSBasePropertyPage::GetHwndControl(UINT controlId) const {
    return m_hWnd != nullptr ? GetDlgItem(m_hWnd, static_cast<int>(controlId)) : nullptr;
}

IUnknown* CDSBasePropertyPage::GetObject(ULONG index) const {
    return index < m_Objects.size() ? m_Objects[index] : nullptr;
}

CDSImageEffectEx* CDSBasePropertyPage::inspectedEffect(ULONG index) const {
    return index < m_Effects.size() ? m_Effects[index] : nullptr;
}

const CDSPPGControlMapEntry* CDSBasePropertyPage::entryOf(UINT controlId) {
    const CDSPPGControlMap* map = GetControlMap();
    return map != nullptr ? map->find(controlId) : nullptr;
}

LONG* CDSBasePropertyPage::boundVariable(const CDSPPGControlMapEntry& entry) {
    if (!entry.hasBoundVariable()) return nullptr;
    // The offset counts from the start of the whole page object.
    auto* page = static_cast<std::byte*>(dynamic_cast<void*>(this));
    return reinterpret_cast<LONG*>(page + entry.m_BoundOffset);
}

HRESULT CDSBasePropertyPage::SetBoundVariableFromControl(UINT controlId) {
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    const HWND control = GetHwndControl(controlId);
    if (entry == nullptr || control == nullptr || !entry->hasBoundVariable()) return S_FALSE;
    const std::optional<LONG> value = controlValue(control);
    if (!value) return S_FALSE;
    *boundVariable(*entry) = *value;
    return S_OK;
}

HRESULT CDSBasePropertyPage::SetPropertyFromControl(UINT controlId) {
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    if (entry == nullptr || !entry->editsProperty()) return S_FALSE;
    LONG value = 0;
    if (entry->hasBoundVariable()) {
        const HRESULT hr = SetBoundVariableFromControl(controlId);
        if (hr != S_OK) return hr;
        value = *boundVariable(*entry);
    } else {
        const HWND control = GetHwndControl(controlId);
        const std::optional<LONG> shown = control != nullptr ? controlValue(control) : std::nullopt;
        if (!shown) return S_FALSE;
        value = *shown;
    }
    return SetPlainProperty(entry->m_Property, variantOf(entry->m_PropertyType, value), nullptr,
                            UNDO_NEW_EVENT);
}

HRESULT CDSBasePropertyPage::SetControlFromProperty(UINT controlId) {
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    if (entry == nullptr || !entry->editsProperty()) return S_FALSE;
    CDSImageEffectEx* effect = inspectedEffect(0);
    if (effect == nullptr) return S_FALSE;
    VARIANT stored;
    const HRESULT hr = effect->GetPlainProperty(entry->m_Property, &stored);
    if (FAILED(hr)) return hr;
    const LONG value =
        stored.vt == VT_BOOL ? (stored.boolVal != VARIANT_FALSE ? 1 : 0) : stored.lVal;
    if (LONG* bound = boundVariable(*entry)) {
        *bound = value;
        return SetControlFromBoundVariable(controlId);
    }
    const HWND control = GetHwndControl(controlId);
    if (control == nullptr) return S_FALSE;
    showValue(control, value);
    return S_OK;
}

HRESULT CDSBasePropertyPage::SetControlFromBoundVariable(UINT controlId) {
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    const HWND control = GetHwndControl(controlId);
    if (entry == nullptr || control == nullptr || !entry->hasBoundVariable()) return S_FALSE;
    showValue(control, *boundVariable(*entry));
    return S_OK;
}

HRESULT CDSBasePropertyPage::OnDSControlTooltip(UINT controlId, std::wstring& text) {
    text.clear();
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    if (entry == nullptr) return S_FALSE;
    text = loadText(GetResourceModule(), entry->m_TooltipId);
    return text.empty() ? S_FALSE : S_OK;
}

HRESULT CDSBasePropertyPage::SetPlainProperty(REFGUID property, const VARIANT& value,
                                              void* /*parameters*/, UNDO_STYLE style) {
    if (auto failure = sdk::hostCall("CDSBasePropertyPage::SetPlainProperty")) return *failure;
    HRESULT result = S_FALSE;
    for (CDSImageEffectEx* effect : m_Effects) {
        if (effect == nullptr) continue;
        VARIANT before;
        if (FAILED(effect->GetPlainProperty(property, &before))) continue;
        const HRESULT hr =
            effect->SetPlainProperty(property, value, static_cast<IPropertyPage*>(this));
        if (FAILED(hr)) return hr;
        result = S_OK;
        if (style != UNDO_NONE) {
            sdk::host::undoStack().record({effect, property, before, value}, style == UNDO_APPEND);
        }
    }
    return result;
}

BOOL CDSBasePropertyPage::onCommand(UINT controlId, WORD code, HWND control) {
    const CDSPPGControlMapEntry* entry = entryOf(controlId);
    if (entry == nullptr || control == nullptr) return FALSE;
    // Only the notifications that mean "the value changed" or "pressed" act.
    const bool combo = sdk::equalsIgnoringCase(control->className, L"COMBOBOX");
    if (code != (combo ? CBN_SELCHANGE : BN_CLICKED)) return FALSE;
    const DSControlNotification previous = m_Notification;
    m_Notification = {controlId, code, control};
    if (entry->editsProperty()) {
        if ((entry->m_Flags & DSPPG_IMMEDIATE) != 0) {
            SetPropertyFromControl(controlId);
        } else {
            SetBoundVariableFromControl(controlId);
        }
    }
    if (entry->m_Handler != nullptr) (this->*(entry->m_Handler))();
    m_Notification = previous;
    return TRUE;
}

// --- undo styles --------------------------------------------------------------------------------

CDSUndoStyleMgr::CDSUndoStyleMgr(CDSBasePropertyPage* page) : m_pPage(page) {}

CDSUndoStyleMgr::~CDSUndoStyleMgr() {
    while (m_Open > 0) End();
}

HRESULT CDSUndoStyleMgr::Begin(const DSControlNotification& notification,
                               CDSBasePropertyPage::UNDO_STYLE* style, BOOL newEvent) {
    if (auto failure = sdk::hostCall("CDSUndoStyleMgr::Begin")) return *failure;
    if (newEvent) {
        // The event is named after the control that started it, as the host's Edit menu shows.
        HWND control = notification.control;
        if (control == nullptr && m_pPage != nullptr)
            control = m_pPage->GetHwndControl(notification.controlId);
        const std::wstring label = control != nullptr && IsWindow(control) ? control->text : L"";
        sdk::host::undoStack().beginGroup(label);
        ++m_Open;
    }
    if (style != nullptr) {
        *style = sdk::host::undoStack().groupOpen() ? CDSBasePropertyPage::UNDO_APPEND
                                                    : CDSBasePropertyPage::UNDO_NEW_EVENT;
    }
    return S_OK;
}

HRESULT CDSUndoStyleMgr::End() {
    if (auto failure = sdk::hostCall("CDSUndoStyleMgr::End")) return *failure;
    if (m_Open == 0) return S_FALSE;
    --m_Open;
    sdk::host::undoStack().endGroup();
    return S_OK;
}
