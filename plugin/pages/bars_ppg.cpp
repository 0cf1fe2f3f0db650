#include "plugin/pages/bars_ppg.hpp"

#include <cstddef>

#include "plugin/module/module_state.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix {
namespace {

constexpr UINT kDialogId = 1;
constexpr UINT kPatternCombo = 1000;
constexpr UINT kRampDirectionCombo = 1001;
constexpr UINT kResetButton = 1002;
constexpr DWORD IDS_RESET_TOOLTIP = 1018;

// The flags the host requires of this page's entries: bound parameters are written as the
// control changes; the button edits no parameter.
constexpr DWORD kBoundFlags = 16;
constexpr DWORD kCommandFlags = 18;
constexpr DWORD kTerminatorFlags = 2;

const CDSPPGControlMapEntry kControls[] = {
    {PARAM_PATTERN, VT_I4, BarsPPG::patternValueOffset(), VT_I4, kPatternCombo, nullptr,
     kBoundFlags, IDS_PATTERN_DESCRIPTION, DSPPG_NONE},
    {PARAM_RAMP_DIRECTION, VT_I4, BarsPPG::rampDirectionValueOffset(), VT_I4, kRampDirectionCombo,
     nullptr, kBoundFlags, IDS_RAMP_DIRECTION_DESCRIPTION, DSPPG_NONE},
    {DSPROPERTY_NONE, VT_EMPTY, DSPPG_NONE, VT_EMPTY, kResetButton,
     static_cast<DSPPGHandler>(&BarsPPG::OnReset), kCommandFlags, IDS_RESET_TOOLTIP, DSPPG_NONE},
    {GUID_NULL, VT_EMPTY, DSPPG_NONE, VT_EMPTY, DSPPG_NONE, nullptr, kTerminatorFlags, DSPPG_NONE,
     DSPPG_NONE},
};

CDSPPGControlMap g_controlMap("Vornex4.3", 1, &CDSBasePropertyPage::m_ControlMap, kControls);

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
DWORD BarsPPG::patternValueOffset() {
    return static_cast<DWORD>(offsetof(BarsPPG, m_Pattern) + offsetof(KtDsPPGBinding, m_Value));
}
DWORD BarsPPG::rampDirectionValueOffset() {
    return static_cast<DWORD>(offsetof(BarsPPG, m_RampDirection) +
                              offsetof(KtDsPPGBinding, m_Value));
}
#pragma GCC diagnostic pop

BarsPPG::BarsPPG()
    : KtDsPPG(kDialogId, IDS_MAIN_PAGE_NAME),
      m_bCounted(false),
      m_Pattern{this, kPatternCombo, PARAM_PATTERN, 0, 0},
      m_RampDirection{this, kRampDirectionCombo, PARAM_RAMP_DIRECTION, 0, 0} {
    m_bCounted = ClassCounter<BarsPPG>::increment();
}

BarsPPG::~BarsPPG() {
    unlinkEffect(m_pEffectRef);
    if (m_bCounted) ClassCounter<BarsPPG>::decrement();
}

HRESULT BarsPPG::QueryInterface(REFIID riid, void** ppv) {
    if (ppv != nullptr && riid == CLSID_BarsPPG) {
        AddRef();
        *ppv = static_cast<IPropertyPage*>(this);
        return S_OK;
    }
    return KtDsPPG::QueryInterface(riid, ppv);
}

const CDSPPGControlMap* BarsPPG::GetControlMap() {
    g_controlMap.Initialize();
    return &g_controlMap;
}

BOOL BarsPPG::OnInitDialog() {
    CDSBasePropertyPage::OnInitDialog();
    m_Pattern.ResetCombo();
    for (UINT id = IDS_PATTERN_FIRST_VALUE; id < IDS_PATTERN_FIRST_VALUE + kPatternCount; ++id) {
        m_Pattern.AddComboStringId(id, id == IDS_PATTERN_FIRST_VALUE);
    }
    m_RampDirection.ResetCombo();
    m_RampDirection.AddComboStringId(IDS_RAMP_DIRECTION_FIRST_VALUE, true);
    m_RampDirection.AddComboStringId(IDS_RAMP_DIRECTION_FIRST_VALUE + 1, false);
    linkEffect(m_pEffectRef);
    // The combos show what the effect draws, not the first entry, when the page opens on an
    // effect whose pattern was changed before.
    SetControlFromProperty(kPatternCombo);
    SetControlFromProperty(kRampDirectionCombo);
    return FALSE;
}

void BarsPPG::OnReset() {
    BeginUndoStyle();
    m_Pattern.SetLong(kPatternEbuBars);
    m_RampDirection.SetLong(kDirectionHorizontal);
    EndUndoStyle();
}

}  // namespace pattix
