// The host unloads the module after rendering with it: the render workers the module started
// must be gone once it has been told, also when the last render was interrupted.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "plugin/image/parallel_runner.hpp"
#include "tests/support/effect_host.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix {
namespace {

using namespace testing;

// Says "go on" to the poll before the pass, then holds each render thread at its first row until
// all of them have come, and asks them all to stop: every thread of the run shows itself.
class GatheringContext final : public IDSExecutionContext {
public:
    explicit GatheringContext(int threads) : m_Threads(threads) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = riid == IID_IUnknown || riid == IID_IDSExecutionContext ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetTime(double* time) override {
        *time = 0.0;
        return S_OK;
    }
    BOOL ShouldContinue() override {
        if (m_Polls++ == 0) return TRUE;
        {
            std::lock_guard<std::mutex> hold(m_Lock);
            m_Seen.insert(gettid());
        }
        ++m_Arrived;
        m_Arrived.notify_all();
        for (int n; (n = m_Arrived.load()) < m_Threads;) m_Arrived.wait(n);
        return FALSE;
    }

    std::set<pid_t> threads() {
        std::lock_guard<std::mutex> hold(m_Lock);
        return m_Seen;
    }

private:
    const int m_Threads;
    std::atomic<int> m_Polls{0};
    std::atomic<int> m_Arrived{0};
    std::mutex m_Lock;
    std::set<pid_t> m_Seen;
};

TEST(Unload, RenderWorkersAreJoinedWhenTheHostUnloadsEvenAfterAnInterruptedRender) {
    // The host's own handle on the module, which it unloads; the effect comes through the same
    // mapping.
    std::string error;
    std::unique_ptr<sdk::LoadedModule> module = sdk::LoadedModule::load(PATTIX_MODULE_PATH, error);
    ASSERT_TRUE(module) << error;
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::set<pid_t> renderThreads;
    {
        EffectRef effect = createEffect();
        ASSERT_TRUE(effect);
        ASSERT_EQ(describe(effect), S_OK);
        // Large enough to be split over the processors.
        const int rows = static_cast<int>(kSplitWorthBytes / (1024 * 4)) + 1;
        ImageRef image(1024, rows, MFIF_RGBA_RAW_32);
        RenderSetup setup(image.image);
        ASSERT_EQ(render(effect, setup), S_OK);

        std::memset(image->data(), 0, image->sizeBytes());
        GatheringContext gathering(processors);
        setup.data.context = &gathering;
        render(effect, setup);
        // Every thread stopped before its first row: nothing was drawn.
        for (const int row : {0, rows / 2, rows - 1}) EXPECT_TRUE(image.rowIsZero(row)) << row;
        renderThreads = gathering.threads();
    }
    ASSERT_EQ(renderThreads.size(), static_cast<std::size_t>(processors));
    renderThreads.erase(gettid());
    for (const pid_t worker : renderThreads)
        ASSERT_EQ(processThreads().count(worker), 1u) << "workers stay between frames";

    ASSERT_EQ(module->unload(), S_OK);
    for (const pid_t worker : renderThreads) EXPECT_TRUE(threadEnds(worker));
}

}  // namespace
}  // namespace pattix
