// The page base the effect's two pages share: undo grouping of its own writes, combo filling
// from the string table, the link to the effect object and its viewer tool, and the help
// command; and the binding record that ties one control to one parameter.
#pragma once

#include <cstdint>

#include "sdk/host/property_page.hpp"

namespace pattix {

class KtDsEffect;
class KtTInteract;
class KtDsPPG;

// Ties one dialog control to one effect parameter. Every operation does nothing while the
// record has no page.
struct KtDsPPGBinding {
    KtDsPPG* m_pPage = nullptr;
    std::uint32_t m_nControlId = 0;  // 0: no control
    GUID m_PropId{};
    std::uint8_t m_bLocalOnly = 0;  // set: keeps the value and the control, never writes
    std::int32_t m_Value = 0;       // the bound variable the control map addresses

    // Keep the value, write it as a plain value under the page's undo style (VT_I4 or VT_BOOL)
    // unless local only, and show it in the control.
    void SetLong(std::int32_t value);
    void SetBool(std::int32_t value);
    std::int32_t GetValue() const { return m_Value; }
    void ResetCombo();
    void AddComboStringId(UINT stringId, bool makeCurrent);

private:
    void set(std::int32_t value, VARTYPE type);
};

class KtDsPPG : public CDSPropertyPage {
public:
    KtDsPPG(UINT dialogId, UINT titleId);
    ~KtDsPPG() override;

    // Shows or hides the page; shown, it brings the effect's overlay up to date.
    HRESULT Show(UINT command) override;
    // Opens the online help document, as the help page's "Online Help" button does.
    HRESULT Help(LPCWSTR helpFolder) override;
    HINSTANCE GetResourceModule() override;
    virtual HRESULT aggregate(void* outer);

    // Opens an undo group for the page's own writes; the style to write with is m_UndoStyle.
    HRESULT BeginUndoStyle(UNDO_STYLE* style = nullptr);
    HRESULT EndUndoStyle();

    // Asks the effect to show its viewer tool for the object this page inspects; answers the
    // tool, or null without an effect.
    KtTInteract* PushOverlay();
    KtTInteract* GetViewerTool() const;

    // Sets a control's text from 8-bit text, one character per byte (at most 2047).
    void SetItemTextA(UINT controlId, const char* text);
    void ResetCombo(UINT controlId);
    void AddComboString(UINT controlId, LPCWSTR text, bool makeCurrent);
    void AddComboStringId(UINT controlId, UINT stringId, bool makeCurrent);

    KtDsEffect* m_pEffect = nullptr;  // not counted: the page's effect reference holds it
    CDSUndoStyleMgr m_UndoStyleMgr;
    UNDO_STYLE m_UndoStyle = UNDO_NEW_EVENT;

protected:
    // Finds the effect behind the first inspected object and pushes its overlay, taking one
    // counted reference into `effectRef`; a reference from an earlier dialog is let go first.
    void linkEffect(KtDsEffect*& effectRef);
    // Pops the overlay and lets the effect go (nothing when the page never found it).
    void unlinkEffect(KtDsEffect*& effectRef);
};

}  // namespace pattix
