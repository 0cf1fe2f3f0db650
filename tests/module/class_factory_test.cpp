// Class factories and object counting of the loaded module, as the host uses them.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "plugin/module/class_ids.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/com.hpp"
#include "tests/support/loaded_module.hpp"

namespace pattix {
namespace {

using testing::factoryFor;
using testing::loadedModule;

const CLSID* const kClasses[] = {&CLSID_Bars, &CLSID_BarsPPG, &CLSID_KtTInteract, &CLSID_HelpPPG};

class ClassFactory : public ::testing::TestWithParam<const CLSID*> {
protected:
    void SetUp() override {
        sdk::resetCallLog();
        ASSERT_EQ(loadedModule().canUnloadNow(), S_OK) << "a previous test leaked an object";
    }
    void TearDown() override { EXPECT_EQ(loadedModule().canUnloadNow(), S_OK); }
};

TEST_F(ClassFactory, UnknownClassOrNullOutPointer) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(loadedModule().getClassObject(sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F40"),
                                            IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(loadedModule().getClassObject(CLSID_Bars, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_P(ClassFactory, AFailedQueryDestroysTheNewFactory) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(loadedModule().getClassObject(*GetParam(), CLSID_Bars, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_OK);
}

TEST_P(ClassFactory, CreatesCountedObjects) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE) << "a live factory holds the module";

    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE) << "a live object holds the module";

    // Every object answers its own class identifier with itself (pages and tool use this);
    // what comes back is the raw object, so the reference is dropped through the interface.
    void* self = nullptr;
    EXPECT_EQ(object->QueryInterface(*GetParam(), &self), S_OK);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
}

TEST_P(ClassFactory, AggregationIsRefusedAfterBuildingAndTheCountRestored) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    struct Outer final : IUnknown {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
    } outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    factory->Release();
}

TEST_P(ClassFactory, AnUnsupportedInterfaceDestroysTheNewObject) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    factory->Release();
}

TEST_P(ClassFactory, MarshalerIsMadeOnceAndDelegatesToTheFactory) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    const std::size_t before = sdk::liveMarshalers();
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(factory->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(sdk::liveMarshalers(), before + 1);
    EXPECT_EQ(sdk::countCalls("CoCreateFreeThreadedMarshaler"), 1u);

    // The marshaler's IUnknown is the factory's: asking it back gives the factory.
    void* back = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IClassFactory, &back), S_OK);
    EXPECT_EQ(back, static_cast<void*>(factory));
    static_cast<IUnknown*>(back)->Release();
    first->Release();
    second->Release();
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(sdk::liveMarshalers(), before) << "the factory releases its marshaler";
}

TEST_P(ClassFactory, MarshalerCreationFailureIsPassedThrough) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    sdk::failCall("CoCreateFreeThreadedMarshaler", E_OUTOFMEMORY);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(IID_IMarshal, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->QueryInterface(IID_IMarshal, &out), S_OK) << "a later request retries";
    static_cast<IUnknown*>(out)->Release();
    factory->Release();
}

TEST_P(ClassFactory, ServerLockHoldsTheModule) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    // The lock and the live factory are two holds: a lock counted backwards would cancel the
    // factory's and let the module go.
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE);
    factory->Release();
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE);
    IClassFactory* other = factoryFor(*GetParam());
    EXPECT_EQ(other->LockServer(FALSE), S_OK);
    other->Release();
    EXPECT_EQ(loadedModule().canUnloadNow(), S_OK);
}

TEST_P(ClassFactory, OneFactoryServesTwoThreadsAtOnce) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    constexpr int kPerThread = 200;
    std::vector<std::thread> threads;
    std::atomic<int> made{0};
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                IUnknown* object = nullptr;
                void* marshal = nullptr;
                if (factory->QueryInterface(IID_IMarshal, &marshal) == S_OK) {
                    static_cast<IUnknown*>(marshal)->Release();
                }
                if (factory->CreateInstance(nullptr, IID_IUnknown,
                                            reinterpret_cast<void**>(&object)) == S_OK) {
                    ++made;
                    object->Release();
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(made, 2 * kPerThread);
    EXPECT_EQ(factory->Release(), 0u);
}

std::string className(const ::testing::TestParamInfo<const CLSID*>& info) {
    static const char* const names[] = {"Bars", "BarsPPG", "KtTInteract", "HelpPPG"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(EveryClass, ClassFactory, ::testing::ValuesIn(kClasses), className);

TEST(CoCreateInstance, FindsTheModuleThroughRegistration) {
    testing::registeredModule();
    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_HelpPPG, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE);
    object->Release();
    EXPECT_EQ(loadedModule().canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace pattix
