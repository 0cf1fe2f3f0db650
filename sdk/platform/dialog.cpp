#include "sdk/platform/dialog.hpp"

#include <cmath>
#include <cwchar>
#include <memory>

#include "sdk/platform/call_log.hpp"
#include "sdk/platform/com.hpp"
#include "sdk/platform/font.hpp"
#include "sdk/platform/wide_text.hpp"

namespace sdk {
namespace {

// Windows' MulDiv: a * b / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c) {
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

constexpr int kScreenPixelsPerInch = 96;
constexpr int kPointsPerInch = 72;

RECT toPixels(const DialogFont& font, int x, int y, int cx, int cy) {
    RECT rect{x, y, x + cx, y + cy};
    rect.left = mulDiv(rect.left, font.baseUnitX, 4);
    rect.right = mulDiv(rect.right, font.baseUnitX, 4);
    rect.top = mulDiv(rect.top, font.baseUnitY, 8);
    rect.bottom = mulDiv(rect.bottom, font.baseUnitY, 8);
    return rect;
}

std::unique_ptr<Window> makeControl(const DialogItemTemplate& item) {
    const std::wstring_view className = item.windowClass != nullptr ? item.windowClass : L"";
    if (equalsIgnoringCase(className, L"BUTTON")) return std::make_unique<Button>();
    if (equalsIgnoringCase(className, L"COMBOBOX")) return std::make_unique<ComboBox>();
    if (equalsIgnoringCase(className, L"STATIC")) return std::make_unique<Static>();
    return std::make_unique<Window>();
}

void sendCommand(Window& control, WORD code) {
    if (control.parent == nullptr) return;
    SendMessageW(control.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
                 reinterpret_cast<LPARAM>(&control));
}

}  // namespace

// --- buttons ----------------------------------------------------------------------------------

Button::Kind Button::kind() const {
    switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
            return Kind::CheckBox;
        case BS_AUTOCHECKBOX:
            return Kind::AutoCheckBox;
        case BS_GROUPBOX:
            return Kind::GroupBox;
        default:
            return Kind::Push;
    }
}

LRESULT Button::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool checkable = kind() == Kind::CheckBox || kind() == Kind::AutoCheckBox;
    switch (message) {
        case BM_GETCHECK:
            return checkable ? static_cast<LRESULT>(check) : static_cast<LRESULT>(BST_UNCHECKED);
        case BM_SETCHECK:
            if (checkable) check = wParam == BST_UNCHECKED ? BST_UNCHECKED : BST_CHECKED;
            return 0;
        default:
            return Window::handleMessage(message, wParam, lParam);
    }
}

// --- combo boxes ------------------------------------------------------------------------------

LRESULT ComboBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto index = static_cast<std::size_t>(wParam);
    const bool known = index < items.size();
    switch (message) {
        case CB_ADDSTRING: {
            const auto* item = reinterpret_cast<const wchar_t*>(lParam);
            if (item == nullptr) return CB_ERR;
            items.emplace_back(item);
            return static_cast<LRESULT>(items.size() - 1);
        }
        case CB_GETCOUNT:
            return static_cast<LRESULT>(items.size());
        case CB_GETCURSEL:
            return selection;
        case CB_SETCURSEL:
            // An index out of range (or -1) clears the selection and the edit field.
            selection = known ? static_cast<int>(index) : -1;
            text = known ? items[index] : std::wstring();
            return known ? selection : CB_ERR;
        case CB_GETLBTEXTLEN:
            return known ? static_cast<LRESULT>(items[index].size()) : CB_ERR;
        case CB_GETLBTEXT: {
            // As on Windows the caller sizes the buffer with CB_GETLBTEXTLEN first.
            auto* buffer = reinterpret_cast<wchar_t*>(lParam);
            if (!known || buffer == nullptr) return CB_ERR;
            std::wmemcpy(buffer, items[index].c_str(), items[index].size() + 1);
            return static_cast<LRESULT>(items[index].size());
        }
        case CB_RESETCONTENT:
            items.clear();
            selection = -1;
            text.clear();
            return 0;
        default:
            return Window::handleMessage(message, wParam, lParam);
    }
}

// --- statics ----------------------------------------------------------------------------------

Static::~Static() {
    if (ownsImage && image != nullptr) DeleteObject(image);
}

LRESULT Static::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case STM_SETIMAGE: {
            if (wParam != IMAGE_BITMAP) return 0;
            // The old image goes back to the caller, who frees it, as on Windows.
            HBITMAP previous = image;
            image = reinterpret_cast<HBITMAP>(lParam);
            ownsImage = false;
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_GETIMAGE:
            return wParam == IMAGE_BITMAP ? reinterpret_cast<LRESULT>(image) : 0;
        default:
            return Window::handleMessage(message, wParam, lParam);
    }
}

// --- dialogs ----------------------------------------------------------------------------------

LRESULT Dialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (procedure != nullptr) {
        const INT_PTR handled = procedure(this, message, wParam, lParam);
        if (handled != FALSE) return handled;
    }
    return Window::handleMessage(message, wParam, lParam);
}

bool measureDialogFont(DialogFont& font) {
    font.emPixels = mulDiv(font.pointSize, kScreenPixelsPerInch, kPointsPerInch);
    TextMetrics metrics;
    if (!measureFont(toUtf8(font.typeface), font.emPixels, FW_NORMAL, false, metrics)) return false;
    // Windows averages the 52 letters and rounds: (width / 26 + 1) / 2.
    font.baseUnitX = (metrics.alphabetWidth / 26 + 1) / 2;
    font.baseUnitY = metrics.height;
    font.file = metrics.file;
    font.faceIndex = metrics.faceIndex;
    return true;
}

static DialogFont templateFont(const DialogTemplate& source) {
    DialogFont font;
    if ((source.style & DS_SETFONT) != 0 && source.typeface != nullptr) {
        font.typeface = source.typeface;
        font.pointSize = source.pointSize;
        measureDialogFont(font);
    }
    return font;
}

RECT dialogTemplateRect(const DialogTemplate& source) {
    return toPixels(templateFont(source), source.x, source.y, source.cx, source.cy);
}

BOOL clickButton(HWND button) {
    hostCall("clickButton");
    auto* control = dynamic_cast<Button*>(windowFromHandle(button));
    if (control == nullptr || control->kind() == Button::Kind::GroupBox ||
        !IsWindowVisible(button)) {
        return FALSE;
    }
    if (control->kind() == Button::Kind::AutoCheckBox) {
        control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    }
    sendCommand(*control, BN_CLICKED);
    return TRUE;
}

BOOL selectComboItem(HWND combo, int index) {
    hostCall("selectComboItem");
    auto* control = dynamic_cast<ComboBox*>(windowFromHandle(combo));
    if (control == nullptr || !IsWindowVisible(combo) || index < 0 ||
        static_cast<std::size_t>(index) >= control->items.size()) {
        return FALSE;
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    sendCommand(*control, CBN_SELCHANGE);
    return TRUE;
}

UINT toolTipMessage() {
    static const UINT message = RegisterWindowMessageW(L"DSCTLTOOLTIP");
    return message;
}

std::wstring controlTooltip(HWND control) {
    if (windowFromHandle(control) == nullptr || control->parent == nullptr) return {};
    ToolTipRequest request{control, {}};
    SendMessageW(control->parent, toolTipMessage(), static_cast<WPARAM>(control->id),
                 reinterpret_cast<LPARAM>(&request));
    return request.text;
}

}  // namespace sdk

extern "C" HWND CreateDialogParamW(HINSTANCE module, LPCWSTR name, HWND parent, DLGPROC procedure,
                                   LPARAM initParam) {
    if (sdk::hostCall("CreateDialogParamW")) return nullptr;
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (id > 0xFFFFu) return nullptr;  // templates are found by number only
    const sdk::DialogTemplate* source = sdk::findDialogTemplate(module, static_cast<UINT>(id));
    if (source == nullptr) return nullptr;

    auto dialog = std::make_unique<sdk::Dialog>();
    dialog->className = L"#32770";
    dialog->text = source->caption != nullptr ? source->caption : L"";
    dialog->style = source->style;
    dialog->exStyle = source->exStyle;
    dialog->procedure = procedure;
    dialog->module = module;
    dialog->templateId = static_cast<UINT>(id);
    dialog->font = sdk::templateFont(*source);
    dialog->rect = sdk::toPixels(dialog->font, source->x, source->y, source->cx, source->cy);
    HWND window = sdk::createWindow(parent, std::move(dialog));
    auto& made = static_cast<sdk::Dialog&>(*window);

    for (std::size_t i = 0; i < source->itemCount; ++i) {
        const sdk::DialogItemTemplate& item = source->items[i];
        std::unique_ptr<sdk::Window> control = sdk::makeControl(item);
        control->className = item.windowClass != nullptr ? item.windowClass : L"";
        control->text = item.title != nullptr ? item.title : L"";
        control->style = item.style;
        control->exStyle = item.exStyle;
        control->id = static_cast<int>(item.id);
        control->rect = sdk::toPixels(made.font, item.x, item.y, item.cx, item.cy);
        if (auto* picture = dynamic_cast<sdk::Static*>(control.get());
            picture != nullptr && picture->showsBitmap() && item.titleOrdinal != 0) {
            picture->image = LoadBitmapW(module, MAKEINTRESOURCEW(item.titleOrdinal));
            picture->ownsImage = picture->image != nullptr;
            // A bitmap static takes the size of its bitmap.
            if (picture->image != nullptr) {
                picture->rect.right = picture->rect.left + picture->image->width;
                picture->rect.bottom = picture->rect.top + picture->image->height;
            }
        }
        sdk::createWindow(window, std::move(control));
    }

    const WPARAM firstControl =
        window->children.empty() ? 0 : reinterpret_cast<WPARAM>(window->children.front());
    SendMessageW(window, WM_INITDIALOG, firstControl, initParam);
    return window;
}

extern "C" BOOL MapDialogRect(HWND dialog, RECT* rect) {
    auto* made = dynamic_cast<sdk::Dialog*>(sdk::windowFromHandle(dialog));
    if (made == nullptr || rect == nullptr) return FALSE;
    *rect = sdk::toPixels(made->font, rect->left, rect->top, rect->right - rect->left,
                          rect->bottom - rect->top);
    return TRUE;
}
