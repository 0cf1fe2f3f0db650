#include "sdk/platform/call_log.hpp"

#include <gtest/gtest.h>

#include "sdk/platform/com.hpp"
#include "sdk/platform/variant.hpp"

namespace {

class CallLogTest : public ::testing::Test {
protected:
    void SetUp() override { sdk::resetCallLog(); }
    void TearDown() override { sdk::resetCallLog(); }
};

TEST_F(CallLogTest, InjectedFailuresRunOutAfterTheirCount) {
    sdk::failCall("Probe", E_ACCESSDENIED, 2);
    EXPECT_EQ(sdk::hostCall("Probe"), E_ACCESSDENIED);
    EXPECT_EQ(sdk::hostCall("Other"), std::nullopt);
    EXPECT_EQ(sdk::hostCall("Probe"), E_ACCESSDENIED);
    EXPECT_EQ(sdk::hostCall("Probe"), std::nullopt);
    EXPECT_EQ(sdk::countCalls("Probe"), 3u);
    EXPECT_EQ(sdk::calls().size(), 4u);
}

TEST_F(CallLogTest, SkippedCallsGoThroughBeforeTheFailure) {
    sdk::failCall("Probe", E_FAIL, 1, 2);
    EXPECT_EQ(sdk::hostCall("Probe"), std::nullopt);
    EXPECT_EQ(sdk::hostCall("Probe"), std::nullopt);
    EXPECT_EQ(sdk::hostCall("Probe"), E_FAIL);
    EXPECT_EQ(sdk::hostCall("Probe"), std::nullopt);
}

TEST_F(CallLogTest, PermanentFailureLastsUntilCleared) {
    sdk::failCall("Probe", E_FAIL, -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sdk::hostCall("Probe"), E_FAIL);
    sdk::clearFailures();
    EXPECT_EQ(sdk::hostCall("Probe"), std::nullopt);
}

TEST_F(CallLogTest, PlatformCallsAreLoggedAndCanFail) {
    sdk::failCall("RegisterWindowMessageW", E_FAIL);
    EXPECT_EQ(RegisterWindowMessageW(L"DSCTLNOTIFY"), 0u);
    EXPECT_NE(RegisterWindowMessageW(L"DSCTLNOTIFY"), 0u);
    EXPECT_EQ(sdk::countCalls("RegisterWindowMessageW"), 2u);
}

TEST(WindowMessages, SameNameSameIdentifier) {
    const UINT notify = RegisterWindowMessageW(L"DSCTLNOTIFY");
    const UINT scrub = RegisterWindowMessageW(L"DSCTLSCRUB");
    EXPECT_GE(notify, 0xC000u);
    EXPECT_NE(notify, scrub);
    EXPECT_EQ(RegisterWindowMessageW(L"DSCTLNOTIFY"), notify);
    EXPECT_EQ(RegisterWindowMessageW(L"dsctlnotify"), notify);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}

TEST(Variant, ClearLeavesAnEmptyValue) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_R8;
    v.dblVal = 720.0;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.dblVal, 0.0);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

}  // namespace
