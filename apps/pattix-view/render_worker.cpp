#include "apps/pattix-view/render_worker.hpp"

#include <chrono>
#include <exception>

#include "plugin/pages/parameters.hpp"

namespace pattix::view {
namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

RenderWorker::RenderWorker(host::EffectInstance& effect, const host::RenderSettings& settings,
                           std::function<void()> frameReady)
    : m_Renderer(std::make_unique<host::FrameRenderer>(effect, settings, m_Context)),
      m_FrameReady(std::move(frameReady)),
      m_Thread([this] { run(); }) {}

RenderWorker::~RenderWorker() {
    {
        std::lock_guard lock(m_Mutex);
        m_Quit = true;
        m_Context.requestStop();
    }
    m_Wake.notify_one();
    m_Thread.join();
}

void RenderWorker::request() {
    {
        std::lock_guard lock(m_Mutex);
        m_Requested = true;
        m_Context.requestStop();
    }
    m_Wake.notify_one();
}

std::shared_ptr<const DisplayFrame> RenderWorker::latest() const {
    std::lock_guard lock(m_Mutex);
    return m_Latest;
}

std::string RenderWorker::failure() const {
    std::lock_guard lock(m_Mutex);
    return m_Failure;
}

bool RenderWorker::idle() const {
    std::lock_guard lock(m_Mutex);
    return !m_Requested && !m_Busy;
}

void RenderWorker::run() {
    // Two frames take turns: the window may still be showing the one published last.
    std::shared_ptr<DisplayFrame> spare;
    for (;;) {
        std::uint64_t serial = 0;
        {
            std::unique_lock lock(m_Mutex);
            m_Busy = false;
            m_Wake.wait(lock, [this] { return m_Requested || m_Quit; });
            if (m_Quit) return;
            m_Requested = false;
            m_Busy = true;
            m_Context.reset();
            serial = ++m_Serial;
        }
        try {
            m_Renderer->copyEffect();
            // Read from the copy: the effect itself may change while the copy renders.
            const long pattern = m_Renderer->copiedValue(PARAM_PATTERN);
            const auto start = std::chrono::steady_clock::now();
            if (!m_Renderer->render(0)) continue;  // stopped by a newer request
            const double renderMilliseconds = millisecondsSince(start);

            if (!spare || spare.use_count() > 1) spare = std::make_shared<DisplayFrame>();
            const auto converted = std::chrono::steady_clock::now();
            convertForDisplay(m_Renderer->image(), *spare);
            spare->pattern = pattern;
            spare->renderMilliseconds = renderMilliseconds;
            spare->convertMilliseconds = millisecondsSince(converted);
            spare->serial = serial;
            {
                std::lock_guard lock(m_Mutex);
                std::swap(m_Latest, spare);
                m_Failure.clear();
            }
        } catch (const std::exception& error) {
            std::lock_guard lock(m_Mutex);
            m_Failure = error.what();
        }
        if (m_FrameReady) m_FrameReady();
    }
}

}  // namespace pattix::view
