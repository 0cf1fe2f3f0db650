// The two property pages, driven as a host's property frame drives them: made by the module's
// factory, given the effect, activated into a frame window, clicked.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "plugin/overlay/interactive_tool.hpp"
#include "sdk/host/property_page.hpp"
#include "sdk/host/undo.hpp"
#include "sdk/host/viewer.hpp"
#include "tests/support/desktop.hpp"
#include "tests/support/effect_host.hpp"

namespace pattix {
namespace {

using namespace testing;

constexpr UINT kPatternCombo = 1000, kDirectionCombo = 1001, kResetButton = 1002;
constexpr UINT kHideBox = 1003, kOnlineHelpButton = 1006;

// An inspected object that is not this module's effect.
struct ForeignObject final : IUnknown {
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
};

// A page in a property frame: made, given its object, activated and shown.
class Page {
public:
    Page(REFCLSID clsid, IUnknown* object) {
        frame = sdk::createWindow(nullptr, std::make_unique<sdk::Window>());
        frame->style = WS_VISIBLE;
        IClassFactory* factory = factoryFor(clsid);
        EXPECT_EQ(
            factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)),
            S_OK);
        factory->Release();
        EXPECT_EQ(page->SetObjects(1, &object), S_OK);
        const RECT place{10, 20, 500, 400};
        EXPECT_EQ(page->Activate(frame, &place, FALSE), S_OK);
        EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    }
    Page(const Page&) = delete;
    ~Page() {
        page->Deactivate();
        page->SetObjects(0, nullptr);
        page->Release();
        DestroyWindow(frame);
    }
    HWND dialog() const { return frame->children.empty() ? nullptr : frame->children.back(); }
    HWND control(UINT id) const { return GetDlgItem(dialog(), static_cast<int>(id)); }
    std::wstring text(UINT id) const { return control(id)->text; }
    bool checked(UINT id) const {
        return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    std::vector<std::wstring> items(UINT id) const {
        std::vector<std::wstring> names;
        const LRESULT count = SendMessageW(control(id), CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring name(
                static_cast<std::size_t>(SendMessageW(control(id), CB_GETLBTEXTLEN, i, 0)), L' ');
            SendMessageW(control(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name.data()));
            names.push_back(name);
        }
        return names;
    }

    HWND frame = nullptr;
    IPropertyPage* page = nullptr;
};

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        registeredModule();
        sdk::resetCallLog();
        sdk::host::setProjectFrame(720, 576);
        sdk::host::undoStack().clear();
        effect = createEffect();
        ASSERT_EQ(describe(effect), S_OK);
    }
    void TearDown() override {
        sdk::host::undoStack().clear();
        sdk::resetCallLog();
    }
    KtTInteract* tool() { return effect.object().overlayTool(); }
    HRESULT setHideOverlay() {
        VARIANT hide;
        VariantInit(&hide);
        hide.vt = VT_BOOL;
        hide.boolVal = VARIANT_TRUE;
        return effect.host().SetPlainProperty(PARAM_HIDE_OVERLAY, hide);
    }

    Desktop desktop;
    EffectRef effect;
};

// A page lists every choice and shows the values of an effect changed before it opened.
TEST_F(Pages, MainPageCombosListEveryChoiceAndShowTheEffectsValues) {
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternRgbCrossedRamp), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    Page main(CLSID_BarsPPG, effect.get());
    EXPECT_EQ(main.items(kPatternCombo),
              (std::vector<std::wstring>{L"EBU Bars", L"75% Colour Bars", L"100% Colour Bars",
                                         L"EIA Colour Bars", L"SMPTE Colour Bars", L"RGB Ramp",
                                         L"Grey Ramp", L"RGB Crossed Ramp", L"Grey Crossed Ramp"}));
    EXPECT_EQ(main.items(kDirectionCombo), (std::vector<std::wstring>{L"Horizontal", L"Vertical"}));
    EXPECT_EQ(main.text(kPatternCombo), L"RGB Crossed Ramp");
    EXPECT_EQ(main.text(kDirectionCombo), L"Vertical");
    ASSERT_EQ(effect->SetDefaults(), S_OK);
    EXPECT_EQ(main.text(kPatternCombo), L"EBU Bars") << "a change made elsewhere";
}

TEST_F(Pages, ResetWritesZeroInOneUndoEventThatUndoTakesBack) {
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternRgbCrossedRamp), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    ASSERT_EQ(setHideOverlay(), S_OK);
    Page main(CLSID_BarsPPG, effect.get());

    ASSERT_TRUE(sdk::clickButton(main.control(kResetButton)));
    EXPECT_EQ(getInt(effect, PARAM_PATTERN), 0);
    EXPECT_EQ(getInt(effect, PARAM_RAMP_DIRECTION), 0);
    EXPECT_EQ(getInt(effect, PARAM_HIDE_OVERLAY), 1) << "Reset leaves the help page's value";
    auto& undo = sdk::host::undoStack();
    EXPECT_EQ(undo.undoLabel(), L"Reset");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(undo.undoCount(), 0u) << "one event";
    EXPECT_EQ(getInt(effect, PARAM_RAMP_DIRECTION), kDirectionVertical);
    EXPECT_EQ(main.text(kDirectionCombo), L"Vertical") << "undo tells the page";
}

TEST_F(Pages, NotificationsCanBeMutedAndChangesFromOtherThreadsWaitForDelivery) {
    Page main(CLSID_BarsPPG, effect.get());
    const auto sink = [&](REFIID iid) {
        void* found = nullptr;
        EXPECT_EQ(main.page->QueryInterface(iid, &found), S_OK);
        static_cast<IUnknown*>(found)->Release();  // the page holds it
        return found;
    };
    auto* enable = static_cast<IDSEnablePPGNotifications*>(sink(IID_IDSEnablePPGNotifications));
    auto* transport = static_cast<IDSTransportNotifySink*>(sink(IID_IDSTransportNotifySink));
    auto* posted = static_cast<IDSXThreadNotifySink*>(sink(IID_IDSXThreadNotifySink));
    enable->EnableNotifications(FALSE);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternGreyRamp), S_OK);
    transport->TimeChanged(1.0);
    EXPECT_EQ(main.text(kPatternCombo), L"EBU Bars") << "muted";
    enable->EnableNotifications(TRUE);
    transport->TimeChanged(2.0);
    EXPECT_EQ(main.text(kPatternCombo), L"Grey Ramp") << "a time change refreshes the controls";

    enable->EnableNotifications(FALSE);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPattern100Bars), S_OK);
    enable->EnableNotifications(TRUE);
    posted->PostPropertyChanged(PARAM_PATTERN);
    EXPECT_EQ(main.text(kPatternCombo), L"Grey Ramp") << "not before delivery";
    posted->DeliverPosted();
    EXPECT_EQ(main.text(kPatternCombo), L"100% Colour Bars");
}

TEST_F(Pages, ShowingRefreshesTheOverlayAndHidingNeverTouchesIt) {
    const struct {
        UINT command;
        bool refreshes;
    } cases[] = {{SW_HIDE, false}, {SW_SHOWNORMAL, true}, {SW_SHOW, true}, {SW_SHOWDEFAULT, false}};
    for (const CLSID* clsid : {&CLSID_BarsPPG, &CLSID_HelpPPG}) {
        Page shown(*clsid, effect.get());
        ASSERT_NE(tool(), nullptr);
        for (const auto& c : cases) {
            sdk::clearCalls();
            EXPECT_EQ(shown.page->Show(c.command), S_OK);
            EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::InvalidateLayer") > 0, c.refreshes)
                << "show command " << c.command;
            EXPECT_EQ(IsWindowVisible(shown.dialog()), c.command != SW_HIDE);
        }
    }
}

TEST_F(Pages, TheOverlayLivesAsLongAsAnInitialisedPage) {
    {
        Page main(CLSID_BarsPPG, effect.get());
        Page help(CLSID_HelpPPG, effect.get());
        EXPECT_EQ(sdk::host::viewerContexts().size(), 1u);
        // A frame that takes a page down and up again does not leave a second push behind.
        ASSERT_EQ(main.page->Deactivate(), S_OK);
        ASSERT_EQ(main.page->Activate(main.frame, nullptr, FALSE), S_OK);
        EXPECT_EQ(effect.object().pushCount(), 2);
    }
    EXPECT_EQ(sdk::host::viewerContexts().size(), 0u);
    EXPECT_EQ(tool(), nullptr);

    // A page whose dialog never came releases nothing and pops nothing.
    IClassFactory* factory = factoryFor(CLSID_BarsPPG);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)),
              S_OK);
    factory->Release();
    IUnknown* object = effect.get();
    ASSERT_EQ(page->SetObjects(1, &object), S_OK);
    sdk::clearCalls();
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(sdk::countCalls("VWControllerRemoveContext"), 0u);
}

TEST_F(Pages, HideOverlayControlsSwitchesTheToolAndStartsUnchecked) {
    ASSERT_EQ(setHideOverlay(), S_OK);
    Page help(CLSID_HelpPPG, effect.get());
    EXPECT_FALSE(help.checked(kHideBox)) << "a new dialog starts unchecked whatever is stored";
    ASSERT_NE(tool(), nullptr);
    EXPECT_TRUE(tool()->IsOverlayVisible());

    const bool visibleAfterClick[] = {false, true, false};
    for (const bool visible : visibleAfterClick) {
        sdk::clearCalls();
        ASSERT_TRUE(sdk::clickButton(help.control(kHideBox)));
        EXPECT_EQ(tool()->IsOverlayVisible(), visible);
        EXPECT_EQ(help.checked(kHideBox), !visible);
        EXPECT_EQ(getInt(effect, PARAM_HIDE_OVERLAY), visible ? 0 : 1);
        EXPECT_GT(sdk::countCalls("CDSInteractiveTool::InvalidateLayer"), 0u) << "redrawn at once";
    }
    EXPECT_EQ(help.text(1005), L"Pattix generates colour bars and other test patterns.\n");
    EXPECT_EQ(help.text(1007), L"Vornex 4.3v1 for DS10.0");
}

TEST_F(Pages, OnAForeignObjectThePagesWorkWithoutAnOverlay) {
    ForeignObject foreign;
    for (const CLSID* clsid : {&CLSID_BarsPPG, &CLSID_HelpPPG}) {
        Page shown(*clsid, &foreign);
        ASSERT_NE(shown.dialog(), nullptr);
        EXPECT_EQ(shown.page->Show(SW_SHOW), S_OK);
        const UINT button = *clsid == CLSID_BarsPPG ? kResetButton : kHideBox;
        EXPECT_TRUE(sdk::clickButton(shown.control(button)));
    }
    EXPECT_TRUE(sdk::host::viewerContexts().empty());
    EXPECT_EQ(sdk::countCalls("CoCreateInstance"), 0u);
}

// --- the online help document ---------------------------------------------------------------

const std::string kManual =
    "\\Quillmere\\Vornex 4.3 for DS10 (32bit)\\Documentation\\Vornex4.3.pdf";

// A ProgramFilesDir value as a .reg line: as text, or as the bytes of text without its
// terminator.
std::string folderValue(const std::string& name, const std::string& text, bool terminated = true) {
    std::string value;
    for (const char c : text) {
        char bytes[16];
        std::snprintf(bytes, sizeof bytes, terminated ? "%c" : ",%02x,00,00,00", c);
        value += terminated && c == '\\' ? "\\\\" : bytes;
    }
    value = terminated ? "\"" + value + "\"" : "hex(1):" + value.substr(1);
    return "\"ProgramFilesDir" + name + "\"=" + value + "\n";
}

TEST_F(Pages, OnlineHelpOpensTheManualUnderTheRegistrysFolderOrNothing) {
    const struct {
        std::string values;  // of the key; "none": no registry file
        std::string folder;  // where the manual is opened; empty: nothing is
    } cases[] = {
        {folderValue(" (x86)", "C:\\Program Files (x86)") + folderValue("", "C:\\Program Files"),
         "C:\\Program Files (x86)"},
        {folderValue("", "C:\\Apps"), "C:\\Apps"},
        {"", "C:\\Program Files"},
        {"none", "C:\\Program Files"},
        {"\"ProgramFilesDir (x86)\"=dword:00000001\n" + folderValue("", "C:\\Apps"), "C:\\Apps"},
        {folderValue("", "C:\\100% %d%s%n"), "C:\\100% %d%s%n"},
        {folderValue("", "C:\\Apps", false), "C:\\Apps"},
        {folderValue("", "C:\\" + std::string(200, 'L')), ""},         // the whole path too long
        {folderValue("", "C:\\" + std::string(300, 'T')), ""},         // the folder too long
        {folderValue("", "C:\\" + std::string(257, 'U'), false), ""},  // filling the buffer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values);
        Desktop own;
        if (c.values != "none") {
            own.writeRegistry(
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n" +
                c.values);
        }
        std::vector<std::string> expected;
        if (!c.folder.empty()) expected.push_back(own.makeFile(c.folder + kManual).string());
        Page help(CLSID_HelpPPG, effect.get());
        sdk::clearCalls();
        ASSERT_TRUE(sdk::clickButton(help.control(kOnlineHelpButton)));
        EXPECT_EQ(own.opened(), expected);
        EXPECT_EQ(sdk::countCalls("ShellExecuteW"), expected.size());
    }
}

}  // namespace
}  // namespace pattix
