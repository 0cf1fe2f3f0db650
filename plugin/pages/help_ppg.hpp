// The help page: what Pattix does and which release this is, the "Hide Overlay Controls" check
// box that switches the viewer overlay, and "Online Help", which opens the PDF manual.
#pragma once

#include <cstddef>

#include "plugin/module/class_ids.hpp"
#include "plugin/pages/kt_ds_ppg.hpp"

namespace pattix {

class HelpPPG final : public KtDsPPG {
public:
    HelpPPG();
    ~HelpPPG() override;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    const CDSPPGControlMap* GetControlMap() override;
    BOOL OnInitDialog() override;

    // The check box: the host has stored its new state in the binding before this runs.
    void OnHideOverlay();
    // The "Online Help" button.
    void OnOnlineHelp();

    // Opens the manual under the Program Files folder with the shell. Opens nothing when the
    // path does not fit in MAX_PATH characters.
    static void OpenOnlineHelp();
    // The Program Files folder from the registry, "C:\Program Files" when it names none; false
    // when the folder it names is too long for the buffer.
    static bool FindProgramFilesFolder(WCHAR (&folder)[MAX_PATH]);
    // The manual's path under `folder`; false when it does not fit in MAX_PATH characters.
    static bool BuildHelpPath(const WCHAR* folder, WCHAR (&path)[MAX_PATH]);

    static DWORD hideOverlayValueOffset();

    bool m_bCounted;
    KtDsPPGBinding m_HideOverlay;
    KtDsEffect* m_pEffectRef = nullptr;
};

}  // namespace pattix
