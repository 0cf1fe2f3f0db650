// The call log and its failure injection, and the small platform calls around it.

#include "sdk/platform/call_log.hpp"

#include <gtest/gtest.h>

#include "sdk/platform/com.hpp"
#include "sdk/platform/guid.hpp"
#include "sdk/platform/variant.hpp"

namespace {

TEST(CallLog, InjectedFailuresSkipThenFailForTheirCount) {
    constexpr std::optional<HRESULT> ok;
    const struct {
        int times, skip;
        std::vector<std::optional<HRESULT>> answers;
    } cases[] = {
        {2, 0, {E_FAIL, E_FAIL, ok, ok}},
        {1, 2, {ok, ok, E_FAIL, ok}},
        {-1, 0, {E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL}},  // until cleared
    };
    for (const auto& c : cases) {
        sdk::resetCallLog();
        sdk::failCall("Probe", E_FAIL, c.times, c.skip);
        for (const auto& answer : c.answers) {
            EXPECT_EQ(sdk::hostCall("Probe"), answer) << c.times << " " << c.skip;
            EXPECT_EQ(sdk::hostCall("Other"), ok);
        }
        EXPECT_EQ(sdk::countCalls("Probe"), c.answers.size());
        EXPECT_EQ(sdk::calls().size(), 2 * c.answers.size());
    }
    sdk::clearFailures();
    EXPECT_EQ(sdk::hostCall("Probe"), ok);

    // Platform calls are logged and can fail too.
    sdk::resetCallLog();
    sdk::failCall("RegisterWindowMessageW", E_FAIL);
    EXPECT_EQ(RegisterWindowMessageW(L"DSCTLNOTIFY"), 0u);
    EXPECT_NE(RegisterWindowMessageW(L"DSCTLNOTIFY"), 0u);
    EXPECT_EQ(sdk::countCalls("RegisterWindowMessageW"), 2u);
    sdk::resetCallLog();
}

TEST(WindowMessages, SameNameWithoutCaseSameIdentifier) {
    const UINT notify = RegisterWindowMessageW(L"DSCTLNOTIFY");
    EXPECT_GE(notify, 0xC000u);
    EXPECT_NE(RegisterWindowMessageW(L"DSCTLSCRUB"), notify);
    EXPECT_EQ(RegisterWindowMessageW(L"dsctlnotify"), notify);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}

TEST(Guid, ReadsTheRegistryFormAndComparesEveryByte) {
    constexpr GUID effect = sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F3F");
    EXPECT_EQ(effect.Data1, 0x63A1D342u);
    EXPECT_EQ(effect.Data3, 0x11D5u);
    EXPECT_EQ(effect.Data4[7], 0x3Fu);
    EXPECT_EQ(sdk::formatGuid(effect), "63A1D342-AE89-11D5-9414-0800690F2F3F");
    EXPECT_EQ(sdk::parseGuid("{63a1d342-ae89-11d5-9414-0800690f2f3f}"), effect);
    EXPECT_NE(effect, sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F3E"));
    EXPECT_LT(effect, sdk::guid("63A1D343-AE89-11D5-9414-0800690F2F3F"));
    for (const char* text :
         {"", "63A1D342-AE89-11D5-9414-0800690F2F3", "63A1D342AE89-11D5-9414-0800690F2F3F0",
          "63A1D342-AE89-11D5-9414-0800690F2F3G", "{63A1D342-AE89-11D5-9414-0800690F2F3F",
          "63A1D342-AE89-11D5-9414_0800690F2F3F"}) {
        EXPECT_FALSE(sdk::parseGuid(text).has_value()) << text;
    }
}

}  // namespace
