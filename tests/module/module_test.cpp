// The loaded module as the host uses it: class factories and object counting, registration,
// and unloading after a render.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "plugin/image/parallel_runner.hpp"
#include "sdk/host/registration.hpp"
#include "tests/support/effect_host.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix {
namespace {

using namespace testing;

const CLSID* const kClasses[] = {&CLSID_Bars, &CLSID_BarsPPG, &CLSID_KtTInteract, &CLSID_HelpPPG};

class ClassFactory : public ::testing::TestWithParam<const CLSID*> {
protected:
    void SetUp() override {
        sdk::resetCallLog();
        ASSERT_EQ(loadedModule().canUnloadNow(), S_OK) << "a previous test leaked an object";
    }
    void TearDown() override { EXPECT_EQ(loadedModule().canUnloadNow(), S_OK); }
};

// Every factory, object and server lock holds the module; refused requests leave nothing alive.
TEST_P(ClassFactory, FactoriesObjectsAndLocksEachHoldTheModule) {
    const CLSID& clsid = *GetParam();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(loadedModule().getClassObject(clsid, CLSID_Bars, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_OK) << "the refused factory was destroyed";

    IClassFactory* factory = factoryFor(clsid);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE) << "a live factory";
    struct Outer final : IUnknown {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
    } outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);

    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    // Every object answers its own class identifier with itself (pages and tool use this).
    void* self = nullptr;
    EXPECT_EQ(object->QueryInterface(clsid, &self), S_OK);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    // The lock and the factory are two holds: a lock counted backwards would cancel the
    // factory's and let the module go.
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE) << "the server lock";
    IClassFactory* other = factoryFor(clsid);
    EXPECT_EQ(other->LockServer(FALSE), S_OK);
    other->Release();
}

// One marshaler per factory, made on first request even by two threads at once, whose
// IUnknown is the factory's; a failure to make it is passed on and a later request retries.
TEST_P(ClassFactory, OneFactoryServesTwoThreadsThroughOneMarshaler) {
    IClassFactory* factory = factoryFor(*GetParam());
    ASSERT_NE(factory, nullptr);
    sdk::failCall("CoCreateFreeThreadedMarshaler", E_OUTOFMEMORY);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(IID_IMarshal, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    const std::size_t before = sdk::liveMarshalers();
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                void* marshal = nullptr;
                EXPECT_EQ(factory->QueryInterface(IID_IMarshal, &marshal), S_OK);
                void* back = nullptr;
                EXPECT_EQ(static_cast<IUnknown*>(marshal)->QueryInterface(IID_IClassFactory, &back),
                          S_OK);
                EXPECT_EQ(back, static_cast<void*>(factory));
                static_cast<IUnknown*>(back)->Release();
                static_cast<IUnknown*>(marshal)->Release();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(sdk::liveMarshalers(), before + 1);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(sdk::liveMarshalers(), before) << "the factory releases its marshaler";
}

std::string className(const ::testing::TestParamInfo<const CLSID*>& param) {
    static const char* const kNames[] = {"Bars", "BarsPPG", "KtTInteract", "HelpPPG"};
    return kNames[param.index];
}

INSTANTIATE_TEST_SUITE_P(EveryClass, ClassFactory, ::testing::ValuesIn(kClasses), className);

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        loadedModule().unregisterServer();
        sdk::resetCallLog();
    }
    void TearDown() override { sdk::resetCallLog(); }
};

TEST_F(Registration, FourClassesAndTwoFamiliesOnceHoweverOftenRegistered) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(loadedModule().getClassObject(sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F40"),
                                            IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DSRegisterCOMEffect(CLSID_Bars, nullptr, 2), E_INVALIDARG) << "no module";
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
    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_HelpPPG, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(loadedModule().canUnloadNow(), S_FALSE);
    object->Release();
}

// Registration stops at its first failure, keeping what it made; unregistration tries every
// call and returns the last failure.
TEST_F(Registration, FailuresKeepWhatWasMadeAndUnregistrationTriesEveryCall) {
    sdk::failCall("DSRegisterCOMEffect", E_ACCESSDENIED);
    EXPECT_EQ(loadedModule().registerServer(), E_ACCESSDENIED);
    EXPECT_TRUE(sdk::host::registeredClasses().empty());
    sdk::failCall("DSRegisterObjectFamilies", E_FAIL);
    EXPECT_EQ(loadedModule().registerServer(), E_FAIL);
    EXPECT_EQ(sdk::host::registeredClasses().size(), 4u);
    EXPECT_TRUE(sdk::host::registeredFamilies().empty());

    ASSERT_EQ(loadedModule().registerServer(), S_OK);
    sdk::failCall("DSUnregisterCOMEffect", E_ACCESSDENIED);  // the first class
    sdk::failCall("DSUnregisterObjectFamilies", E_FAIL);
    EXPECT_EQ(loadedModule().unregisterServer(), E_FAIL);
    const auto left = sdk::host::registeredClasses();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].clsid, CLSID_Bars);
    EXPECT_EQ(sdk::host::registeredFamilies().size(), 2u);

    EXPECT_EQ(loadedModule().unregisterServer(), S_OK);
    EXPECT_TRUE(sdk::host::registeredClasses().empty());
    EXPECT_TRUE(sdk::host::registeredFamilies().empty());
    for (const CLSID* clsid : kClasses) {
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  REGDB_E_CLASSNOTREG)
            << "an unregistered class is no longer served";
    }
}

// Goes on at the poll before the pass, then holds each render thread at its first row until all
// of them have come, and asks them all to stop: every thread of the run shows itself.
struct GatheringContext final : IDSExecutionContext {
    explicit GatheringContext(int threads) : count(threads) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetTime(double* time) override { return *time = 0.0, S_OK; }
    BOOL ShouldContinue() override {
        if (polls++ == 0) return TRUE;
        {
            std::lock_guard<std::mutex> hold(lock);
            seen.insert(gettid());
        }
        ++arrived;
        arrived.notify_all();
        for (int n; (n = arrived.load()) < count;) arrived.wait(n);
        return FALSE;
    }
    const int count;
    std::atomic<int> polls{0}, arrived{0};
    std::mutex lock;
    std::set<pid_t> seen;
};

// The render workers stay between frames and are gone once the host unloads the module, also
// when the last render was interrupted.
TEST(Unload, RenderWorkersAreJoinedWhenTheHostUnloadsAfterAnInterruptedRender) {
    std::string error;
    std::unique_ptr<sdk::LoadedModule> module = sdk::LoadedModule::load(PATTIX_MODULE_PATH, error);
    ASSERT_TRUE(module) << error;
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::set<pid_t> renderThreads;
    {
        EffectRef effect = createEffect();
        ASSERT_EQ(describe(effect), S_OK);
        const int rows = static_cast<int>(kSplitWorthBytes / (1024 * 4)) + 1;  // split
        ImageRef image(1024, rows, MFIF_RGBA_RAW_32);
        RenderSetup setup(image.image);
        ASSERT_EQ(render(effect, setup), S_OK);
        std::memset(image->data(), 0, image->sizeBytes());
        GatheringContext gathering(processors);
        setup.data.context = &gathering;
        render(effect, setup);
        for (const int row : {0, rows / 2, rows - 1}) EXPECT_TRUE(image.rowIsZero(row)) << row;
        renderThreads = gathering.seen;
    }
    ASSERT_EQ(renderThreads.size(), static_cast<std::size_t>(processors));
    renderThreads.erase(gettid());
    for (const pid_t worker : renderThreads) ASSERT_EQ(processThreads().count(worker), 1u);
    ASSERT_EQ(module->unload(), S_OK);
    for (const pid_t worker : renderThreads) EXPECT_TRUE(threadEnds(worker));
}

}  // namespace
}  // namespace pattix
