// Dialogs made from a module's dialog templates, and the controls on them: push buttons, check
// boxes, group boxes, combo boxes and statics that keep their state as Windows' own do.
//
// How a host shows and drives a dialog (a property page's, say):
//   - The dialog is an sdk::Dialog; its controls are its `children`, in template order, each an
//     sdk::Window whose dynamic type tells its kind: sdk::Button (push button, check box or
//     group box, see Button::kind), sdk::ComboBox (items, selection and edit text), sdk::Static
//     (text, or a bitmap with SS_BITMAP). `className`, `text`, `style`, `exStyle`, `id` and
//     `rect` (pixels in the dialog's client area) are on every window; a control is shown while
//     WS_VISIBLE is in its style. The dialog's own `rect` is in its parent's pixels, and
//     `font` says which face file and pixel size the dialog's layout was measured with.
//   - State is read and written with the control's messages (SendMessageW): WM_GETTEXT,
//     CB_GETCOUNT, CB_GETLBTEXT, CB_GETCURSEL, BM_GETCHECK, STM_GETIMAGE, ...
//   - User input goes through sdk::clickButton and sdk::selectComboItem: they change the control
//     as a click does and then send the dialog the same WM_COMMAND notification (BN_CLICKED,
//     CBN_SELCHANGE) that Windows sends, so the page's own code runs.
//   - sdk::controlTooltip asks the dialog for a control's tooltip.
#pragma once

#include <string>
#include <vector>

#include "sdk/platform/gdi.hpp"
#include "sdk/platform/resources.hpp"
#include "sdk/platform/window.hpp"

using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr DWORD DS_SETFONT = 0x40;

// Button styles (the low four bits give the kind) and check states.
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;

// Static styles.
inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_BITMAP = 0xE;
inline constexpr DWORD SS_TYPEMASK = 0x1F;

inline constexpr DWORD CBS_DROPDOWN = 0x2;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x3;

// Control messages.
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT STM_SETIMAGE = 0x0172;
inline constexpr UINT STM_GETIMAGE = 0x0173;
inline constexpr WPARAM IMAGE_BITMAP = 0;
inline constexpr LRESULT CB_ERR = -1;

// Notification codes carried in the high word of WM_COMMAND's wParam.
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD CBN_SELCHANGE = 1;

namespace sdk {

struct SDK_API Button final : Window {
    enum class Kind { Push, CheckBox, AutoCheckBox, GroupBox };
    Kind kind() const;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    WPARAM check = BST_UNCHECKED;
};

// A combo box: its list of items, the selected item (-1 for none) and the text of its edit
// field (`text`), which follows the selection and can also be set on its own.
struct SDK_API ComboBox final : Window {
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<std::wstring> items;
    int selection = -1;
};

// A static: its text, or with SS_BITMAP its bitmap.
struct SDK_API Static final : Window {
    ~Static() override;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool showsBitmap() const { return (style & SS_TYPEMASK) == SS_BITMAP; }

    HBITMAP image = nullptr;
    bool ownsImage = false;  // loaded from the template: the control frees it
};

// The dialog's font and the base units its template's dialog units are measured in.
struct DialogFont {
    std::wstring typeface;  // as the template names it
    int pointSize = 0;
    int emPixels = 0;  // the point size at 96 pixels per inch
    std::string file;  // the face file fontconfig resolved it to ("" for the system font)
    int faceIndex = 0;
    int baseUnitX = 8;   // pixels per 4 horizontal dialog units
    int baseUnitY = 16;  // pixels per 8 vertical dialog units
};

struct SDK_API Dialog final : Window {
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    DLGPROC procedure = nullptr;
    HINSTANCE module = nullptr;  // the module the template came from
    UINT templateId = 0;
    DialogFont font;
};

// The base units of a dialog font: "Arial" at 11 points is measured through fontconfig and
// FreeType. False when the face cannot be read (the system font's units are kept).
SDK_API bool measureDialogFont(DialogFont& font);

// The pixel rectangle a dialog made from the template covers, measured in its font.
SDK_API RECT dialogTemplateRect(const DialogTemplate& source);

// User input, as a host's mouse makes it: see the top of this file. FALSE when the handle is not
// a control of that kind, or (selectComboItem) the index names no item.
SDK_API BOOL clickButton(HWND button);
SDK_API BOOL selectComboItem(HWND combo, int index);

// The tooltip a dialog gives for one of its controls; empty when it gives none.
SDK_API std::wstring controlTooltip(HWND control);

// The message through which a control asks its dialog for a tooltip: wParam is the control id,
// lParam a ToolTipRequest. Registered under the host's name "DSCTLTOOLTIP".
struct ToolTipRequest {
    HWND control;
    std::wstring text;  // filled by the dialog
};
SDK_API UINT toolTipMessage();

}  // namespace sdk

extern "C" {
// Creates a dialog and its controls from template `name` (MAKEINTRESOURCEW(id)) of `module` as
// a child of `parent`, sends WM_INITDIALOG to `procedure` with `initParam`, and answers the
// dialog; null when the module has no such template.
SDK_API HWND CreateDialogParamW(HINSTANCE module, LPCWSTR name, HWND parent, DLGPROC procedure,
                                LPARAM initParam);
// Converts a rectangle from the dialog's units to pixels.
SDK_API BOOL MapDialogRect(HWND dialog, RECT* rect);
}
