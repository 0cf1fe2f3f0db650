// The free-threaded marshaler aggregated into an outer object, and classes nobody registered.

#include "sdk/platform/com.hpp"

#include <gtest/gtest.h>

#include <atomic>

namespace {

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

TEST(FreeThreadedMarshaler, NeedsAnOuterObjectAndAnOutPointerUnknownClassesAreNotRegistered) {
    Outer outer;
    IUnknown* inner = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(nullptr, &inner), E_INVALIDARG);
    EXPECT_EQ(inner, nullptr);
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(&outer, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(sdk::guid("00000000-1111-2222-3333-444444444444"), nullptr,
                               CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
