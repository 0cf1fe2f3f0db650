// Dialogs made from a module's templates: controls in template order at their pixel places, the
// state each control keeps, and what user input cannot reach. (Clicks and picks reaching the
// dialog are the pages' tests.)

#include "sdk/platform/dialog.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/loaded_module.hpp"

namespace {

struct Delivered {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Delivered> g_delivered;

INT_PTR recordingProcedure(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    g_delivered.push_back({message, wParam, lParam});
    return message == WM_INITDIALOG ? FALSE : TRUE;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        g_delivered.clear();
        frame = sdk::createWindow(nullptr, std::make_unique<sdk::Window>());
        frame->style = WS_VISIBLE;
    }
    void TearDown() override { DestroyWindow(frame); }
    HWND make(UINT id) {
        return CreateDialogParamW(pattix::testing::loadedModule().handle(), MAKEINTRESOURCEW(id),
                                  frame, &recordingProcedure, 1234);
    }
    HWND frame = nullptr;
};

// Arial at 11 points is 15 pixels to the em; its dialog base units are 9 x 17 pixels.
RECT pixels(int x, int y, int cx, int cy) {
    const auto h = [](int units) { return (units * 9 * 2 + 4) / 8; };    // units * 9 / 4, rounded
    const auto v = [](int units) { return (units * 17 * 2 + 8) / 16; };  // units * 17 / 8, rounded
    return {h(x), v(y), h(x + cx), v(y + cy)};
}

TEST_F(Dialogs, TemplateControlsStandInOrderAtTheirPixelPlaces) {
    const HWND dialog = make(1);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(make(99), nullptr);
    ASSERT_EQ(g_delivered.size(), 1u);
    EXPECT_EQ(g_delivered[0].message, WM_INITDIALOG);
    EXPECT_EQ(g_delivered[0].lParam, 1234);
    EXPECT_EQ(frame->children, std::vector<HWND>{dialog});
    EXPECT_NE(dynamic_cast<sdk::Dialog&>(*dialog).font.file.find("Liberation"), std::string::npos)
        << "fontconfig's face for Arial";

    const struct {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        RECT rect;
    } controls[] = {
        {1000, L"COMBOBOX", L"", pixels(10, 15, 82, 8)},
        {1001, L"COMBOBOX", L"", pixels(10, 45, 82, 8)},
        {1002, L"BUTTON", L"Reset", pixels(72, 126, 44, 10)},
        {2001, L"STATIC", L"Ramp Direction", pixels(10, 35, 60, 8)},
        {2000, L"STATIC", L"Pattern", pixels(10, 5, 39, 8)},
    };
    ASSERT_EQ(dialog->children.size(), std::size(controls));
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        const HWND control = dialog->children[i];
        EXPECT_EQ(control->id, controls[i].id);
        EXPECT_EQ(control->className, controls[i].className);
        EXPECT_EQ(control->text, controls[i].text);
        EXPECT_EQ(std::memcmp(&control->rect, &controls[i].rect, sizeof(RECT)), 0)
            << controls[i].id;
    }
    EXPECT_EQ(GetDlgItem(dialog, 1002), dialog->children[2]);
    RECT units{0, 0, 190, 142};
    ASSERT_TRUE(MapDialogRect(dialog, &units));
    EXPECT_EQ(units.right, dialog->rect.right);

    // The help page's picture takes its bitmap and the bitmap's size.
    const HWND help = make(2);
    const auto* picture = dynamic_cast<sdk::Static*>(help->children.back());
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->image, nullptr);
    EXPECT_EQ(SendMessageW(help->children.back(), STM_GETIMAGE, IMAGE_BITMAP, 0),
              reinterpret_cast<LRESULT>(picture->image));
    EXPECT_EQ(picture->rect.right - picture->rect.left, picture->image->width);
}

TEST_F(Dialogs, ComboBoxKeepsItemsSelectionAndEditText) {
    const HWND combo = GetDlgItem(make(1), 1000);
    const auto text = [&](const wchar_t* s) { return reinterpret_cast<LPARAM>(s); };
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        int selection;
        const wchar_t* edit;
    } steps[] = {
        {CB_ADDSTRING, 0, text(L"One"), 0, -1, L""},
        {CB_ADDSTRING, 0, text(L"Two"), 1, -1, L""},
        {WM_SETTEXT, 0, text(L"One"), TRUE, -1, L"One"},  // the edit field alone
        {CB_SETCURSEL, 1, 0, 1, 1, L"Two"},
        {CB_GETCOUNT, 0, 0, 2, 1, L"Two"},
        {CB_GETLBTEXTLEN, 0, 0, 3, 1, L"Two"},
        {CB_GETLBTEXTLEN, 2, 0, CB_ERR, 1, L"Two"},
        {CB_SETCURSEL, 5, 0, CB_ERR, -1, L""},
        {WM_GETTEXTLENGTH, 0, 0, 0, -1, L""},
        {CB_SETCURSEL, 0, 0, 0, 0, L"One"},
        {CB_RESETCONTENT, 0, 0, 0, -1, L""},
        {CB_GETCOUNT, 0, 0, 0, -1, L""},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(SendMessageW(combo, step.message, step.wParam, step.lParam), step.result)
            << std::hex << step.message;
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), step.selection);
        EXPECT_EQ(combo->text, step.edit);
    }
    WCHAR small[3];
    SendMessageW(combo, WM_SETTEXT, 0, text(L"Longer"));
    EXPECT_EQ(SendMessageW(combo, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(small)), 2);
    EXPECT_STREQ(small, L"Lo");

    // Not for the user to pick or click: an item that is not there, a group box, a control out
    // of sight.
    EXPECT_FALSE(sdk::selectComboItem(combo, 0));
    const HWND help = make(2);
    EXPECT_FALSE(sdk::clickButton(GetDlgItem(help, 1004)));
    ShowWindow(help, SW_HIDE);
    EXPECT_FALSE(sdk::clickButton(GetDlgItem(help, 1003)));
    EXPECT_EQ(SendMessageW(GetDlgItem(help, 1003), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (const Delivered& delivered : g_delivered) EXPECT_NE(delivered.message, WM_COMMAND);
}

}  // namespace
