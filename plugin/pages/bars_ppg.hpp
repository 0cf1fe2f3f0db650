// The main control page: the pattern and the ramp direction, and a Reset button.
#pragma once

#include "plugin/module/class_ids.hpp"
#include "plugin/pages/kt_ds_ppg.hpp"

namespace pattix {

class BarsPPG final : public KtDsPPG {
public:
    BarsPPG();
    ~BarsPPG() override;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    const CDSPPGControlMap* GetControlMap() override;
    BOOL OnInitDialog() override;

    // The "Reset" button: Pattern and Ramp Direction back to 0 in one undo event.
    void OnReset();

    // Byte offsets of the two bound variables in the page, for the control map.
    static DWORD patternValueOffset();
    static DWORD rampDirectionValueOffset();

    bool m_bCounted;
    KtDsPPGBinding m_Pattern;
    KtDsPPGBinding m_RampDirection;
    KtDsEffect* m_pEffectRef = nullptr;
};

}  // namespace pattix
