// The call log and its failure injection, and the free-threaded marshaler aggregated into an
// outer object.

#include "sdk/platform/call_log.hpp"

#include <gtest/gtest.h>

#include <atomic>

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

// An outer object that counts what its aggregated marshaler forwards to it.
struct Outer final : IUnknown {
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        *ppv = riid == IID_IUnknown ? this : nullptr;
        if (*ppv == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    std::atomic<ULONG> refs{1};
    int queries = 0;
};

TEST(FreeThreadedMarshaler, AnswersIMarshalAndDelegatesToTheOuterObject) {
    Outer outer;
    const std::size_t before = sdk::liveMarshalers();
    IUnknown* inner = nullptr;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(&outer, &inner), S_OK);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(sdk::liveMarshalers(), before + 1);

    IMarshal* marshal = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "the IMarshal reference belongs to the outer object";

    void* back = nullptr;
    EXPECT_EQ(marshal->QueryInterface(IID_IUnknown, &back), S_OK);
    EXPECT_EQ(back, &outer);
    EXPECT_EQ(outer.queries, 1);
    static_cast<IUnknown*>(back)->Release();
    marshal->Release();
    EXPECT_EQ(outer.refs, 1u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(inner->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(sdk::liveMarshalers(), before);
}

}  // namespace
