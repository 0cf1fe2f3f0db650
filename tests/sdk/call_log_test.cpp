// The call log and its failure injection, which the other tests rely on to reach failure paths.

#include "sdk/platform/call_log.hpp"

#include <gtest/gtest.h>

#include "sdk/platform/com.hpp"

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

}  // namespace
