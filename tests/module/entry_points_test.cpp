// Registration and unregistration of the loaded module with the host.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "plugin/module/class_ids.hpp"
#include "sdk/host/registration.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/com.hpp"
#include "sdk/platform/resources.hpp"
#include "tests/support/loaded_module.hpp"

namespace pattix {
namespace {

using testing::loadedModule;

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        loadedModule().unregisterServer();
        sdk::resetCallLog();
    }
    void TearDown() override { sdk::resetCallLog(); }
};

TEST_F(Registration, RegistersTheFourClassesAndTheEffectFamiliesOnceAsOften) {
    ASSERT_EQ(loadedModule().registerServer(), S_OK);
    ASSERT_EQ(loadedModule().registerServer(), S_OK);
    const auto classes = sdk::host::registeredClasses();
    ASSERT_EQ(classes.size(), 4u);
    const std::pair<CLSID, DWORD> expected[] = {
        {CLSID_Bars, 2}, {CLSID_BarsPPG, 4}, {CLSID_KtTInteract, 1028}, {CLSID_HelpPPG, 6}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(classes[i].clsid, expected[i].first) << i;
        EXPECT_EQ(classes[i].number, expected[i].second) << i;
        EXPECT_EQ(classes[i].module, loadedModule().handle());
    }
    const auto families = sdk::host::registeredFamilies();
    ASSERT_EQ(families.size(), 2u);
    EXPECT_EQ(families[0].family, sdk::guid("183E3834-D79D-11D0-A7AE-00A0C9068107"));
    EXPECT_EQ(families[1].family, sdk::guid("61054A81-9662-11D0-B685-00A024191AE0"));
    for (const auto& f : families) {
        EXPECT_EQ(f.clsid, CLSID_Bars);
        EXPECT_EQ(f.name, L"Pattix");
        EXPECT_EQ(f.flags, 1u);
    }
}

TEST_F(Registration, FirstFailureEndsRegistrationAndKeepsWhatWasMade) {
    sdk::failCall("DSRegisterCOMEffect", E_ACCESSDENIED);
    EXPECT_EQ(loadedModule().registerServer(), E_ACCESSDENIED);
    EXPECT_TRUE(sdk::host::registeredClasses().empty());
    EXPECT_EQ(sdk::countCalls("DSRegisterObjectFamilies"), 0u);

    sdk::failCall("DSRegisterObjectFamilies", E_FAIL);
    EXPECT_EQ(loadedModule().registerServer(), E_FAIL);
    EXPECT_EQ(sdk::host::registeredClasses().size(), 4u);
    EXPECT_TRUE(sdk::host::registeredFamilies().empty());
}

TEST_F(Registration, UnregistrationTriesEveryCallAndReturnsTheLastFailure) {
    ASSERT_EQ(loadedModule().registerServer(), S_OK);
    sdk::clearCalls();
    sdk::failCall("DSUnregisterCOMEffect", E_ACCESSDENIED);  // the first class
    sdk::failCall("DSUnregisterObjectFamilies", E_FAIL);
    EXPECT_EQ(loadedModule().unregisterServer(), E_FAIL);
    EXPECT_EQ(sdk::countCalls("DSUnregisterCOMEffect"), 4u);
    EXPECT_EQ(sdk::countCalls("DSUnregisterObjectFamilies"), 1u);
    // The three classes after the refused one are gone, the families stay.
    const auto left = sdk::host::registeredClasses();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].clsid, CLSID_Bars);
    EXPECT_EQ(sdk::host::registeredFamilies().size(), 2u);

    sdk::failCall("DSUnregisterCOMEffect", E_ACCESSDENIED, 4);
    EXPECT_EQ(loadedModule().unregisterServer(), E_ACCESSDENIED);
    EXPECT_EQ(loadedModule().unregisterServer(), S_OK);
    EXPECT_TRUE(sdk::host::registeredClasses().empty());
    EXPECT_TRUE(sdk::host::registeredFamilies().empty());
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Bars, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG)
        << "an unregistered class is no longer served";
}

TEST_F(Registration, AClassWithoutItsModuleIsRefused) {
    EXPECT_EQ(DSRegisterCOMEffect(CLSID_Bars, nullptr, 2), E_INVALIDARG);
    EXPECT_TRUE(sdk::host::registeredClasses().empty());
}

TEST(ModuleResources, StringsAndBitmapsAreFoundFromTheInstanceHandle) {
    WCHAR text[260];
    EXPECT_EQ(LoadStringW(loadedModule().handle(), 2, text, 260), 26);
    EXPECT_EQ(std::wstring(text), L"Quillmere's Bars Generator");
    EXPECT_EQ(LoadStringW(loadedModule().handle(), 1, text, 4), 3) << "truncated to the buffer";
    EXPECT_EQ(std::wstring(text), L"Pat");
    EXPECT_EQ(LoadStringW(loadedModule().handle(), 999, text, 260), 0);
    EXPECT_EQ(text[0], L'\0');
    EXPECT_EQ(LoadStringW(nullptr, 1, text, 260), 0);

    HBITMAP bitmap = LoadBitmapW(loadedModule().handle(), MAKEINTRESOURCEW(102));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_GT(bitmap->width, 0);
    EXPECT_EQ(bitmap->pixels.size(), static_cast<std::size_t>(bitmap->width * bitmap->height));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(LoadBitmapW(loadedModule().handle(), MAKEINTRESOURCEW(104)), nullptr);
}

TEST(ModuleLoad, MissingFileIsReportedByName) {
    std::string error;
    EXPECT_FALSE(sdk::LoadedModule::load("/nonexistent/libnothing.so", error));
    EXPECT_NE(error.find("/nonexistent/libnothing.so"), std::string::npos) << error;
}

}  // namespace
}  // namespace pattix
