#include "plugin/pages/kt_ds_ppg.hpp"

#include "plugin/effect/kt_ds_effect.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/module/module_state.hpp"
#include "plugin/pages/help_ppg.hpp"
#include "sdk/platform/resources.hpp"

namespace pattix {
namespace {

constexpr int kItemTextRoom = 2048;
constexpr int kComboTextRoom = 256;

}  // namespace

// --- binding
// ---------------------------------------------------------------------------------------

void KtDsPPGBinding::set(std::int32_t value, VARTYPE type) {
    if (m_pPage == nullptr) return;
    m_Value = value;
    if (!m_bLocalOnly) {
        VARIANT v;
        VariantInit(&v);
        v.vt = type;
        if (type == VT_BOOL) {
            v.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            v.lVal = value;
        }
        // A refused write is not the user's to hear about: the control shows the value anyway.
        m_pPage->SetPlainProperty(m_PropId, v, nullptr, m_pPage->m_UndoStyle);
    }
    if (m_nControlId != 0) m_pPage->SetControlFromBoundVariable(m_nControlId);
}

void KtDsPPGBinding::SetLong(std::int32_t value) {
    set(value, VT_I4);
}
void KtDsPPGBinding::SetBool(std::int32_t value) {
    set(value, VT_BOOL);
}

void KtDsPPGBinding::ResetCombo() {
    if (m_pPage != nullptr && m_nControlId != 0) m_pPage->ResetCombo(m_nControlId);
}

void KtDsPPGBinding::AddComboStringId(UINT stringId, bool makeCurrent) {
    if (m_pPage != nullptr && m_nControlId != 0) {
        m_pPage->AddComboStringId(m_nControlId, stringId, makeCurrent);
    }
}

// --- page
// ------------------------------------------------------------------------------------------

KtDsPPG::KtDsPPG(UINT dialogId, UINT titleId)
    : CDSPropertyPage(dialogId, titleId), m_UndoStyleMgr(this) {}

KtDsPPG::~KtDsPPG() = default;

HRESULT KtDsPPG::Show(UINT command) {
    HRESULT hr = CDSBasePropertyPage::Show(command);
    if (FAILED(hr)) return hr;
    if ((command == SW_SHOWNORMAL || command == SW_SHOW) && m_pEffect != nullptr) {
        m_pEffect->refreshOverlay();
    }
    return CDSBasePropertyPage::Show(command);
}

HRESULT KtDsPPG::Help(LPCWSTR /*helpFolder*/) {
    HelpPPG::OpenOnlineHelp();
    return S_OK;
}

HINSTANCE KtDsPPG::GetResourceModule() {
    return moduleInstance();
}

HRESULT KtDsPPG::aggregate(void* /*outer*/) {
    return CLASS_E_NOAGGREGATION;
}

HRESULT KtDsPPG::BeginUndoStyle(UNDO_STYLE* style) {
    const HRESULT hr = m_UndoStyleMgr.Begin(GetControlNotification(), &m_UndoStyle, TRUE);
    if (style != nullptr) *style = m_UndoStyle;
    return hr;
}

HRESULT KtDsPPG::EndUndoStyle() {
    const HRESULT hr = m_UndoStyleMgr.End();
    m_UndoStyle = UNDO_NEW_EVENT;
    return hr;
}

KtTInteract* KtDsPPG::PushOverlay() {
    if (m_pEffect == nullptr) return nullptr;
    m_pEffect->pushOverlay(GetObject(0));
    return m_pEffect->overlayTool();
}

KtTInteract* KtDsPPG::GetViewerTool() const {
    return m_pEffect != nullptr ? m_pEffect->overlayTool() : nullptr;
}

void KtDsPPG::SetItemTextA(UINT controlId, const char* text) {
    const HWND item = GetHwndControl(controlId);
    if (item == nullptr || text == nullptr) return;
    WCHAR wide[kItemTextRoom];
    int length = 0;
    for (; length < kItemTextRoom - 1 && text[length] != '\0'; ++length) {
        wide[length] = static_cast<WCHAR>(static_cast<unsigned char>(text[length]));
    }
    wide[length] = L'\0';
    SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
}

void KtDsPPG::ResetCombo(UINT controlId) {
    SendMessageW(GetHwndControl(controlId), CB_RESETCONTENT, 0, 0);
}

void KtDsPPG::AddComboString(UINT controlId, LPCWSTR text, bool makeCurrent) {
    const HWND combo = GetHwndControl(controlId);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (makeCurrent) SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void KtDsPPG::AddComboStringId(UINT controlId, UINT stringId, bool makeCurrent) {
    WCHAR text[kComboTextRoom];
    if (LoadStringW(GetResourceModule(), stringId, text, kComboTextRoom) > 0) {
        AddComboString(controlId, text, makeCurrent);
    }
}

void KtDsPPG::linkEffect(KtDsEffect*& effectRef) {
    unlinkEffect(effectRef);
    IUnknown* inspected = GetObject(0);
    void* found = nullptr;
    if (inspected != nullptr && SUCCEEDED(inspected->QueryInterface(CLSID_Bars, &found))) {
        effectRef = static_cast<KtDsEffect*>(found);
    }
    if (effectRef != nullptr) m_pEffect = effectRef;
    PushOverlay();
}

void KtDsPPG::unlinkEffect(KtDsEffect*& effectRef) {
    if (effectRef == nullptr) return;
    effectRef->popOverlay();
    // The effect's own reference count lives in its host part.
    effectRef->m_pHostBase->Release();
    effectRef = nullptr;
    m_pEffect = nullptr;
}

}  // namespace pattix
