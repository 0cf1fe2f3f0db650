// Renders the effect on a thread of its own, as a host's render thread does, so the window never
// waits for a frame: each request copies the effect (taking its parameters as they are), renders
// the copy into the host image and converts it for display. A request that arrives during a
// render stops that render through the execution context and starts again.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "apps/host/effect_instance.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/pattix-view/display_frame.hpp"

namespace pattix::view {

class RenderWorker {
public:
    // Allocates the image and verifies the effect (throws RunFailure as FrameRenderer does),
    // then starts the thread and renders the first frame. `frameReady` runs on the render
    // thread after each finished frame or failure.
    RenderWorker(host::EffectInstance& effect, const host::RenderSettings& settings,
                 std::function<void()> frameReady);
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;
    // Stops a render in progress and joins the thread.
    ~RenderWorker();

    // The parameters changed: render again.
    void request();

    // The newest finished frame; null before the first.
    std::shared_ptr<const DisplayFrame> latest() const;
    // Why the last render failed; empty when it did not.
    std::string failure() const;
    // No request is waiting and no render is running.
    bool idle() const;

private:
    void run();

    sdk::host::HostExecutionContext m_Context;
    std::unique_ptr<host::FrameRenderer> m_Renderer;
    std::function<void()> m_FrameReady;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Requested = true;
    bool m_Busy = false;
    bool m_Quit = false;
    std::shared_ptr<DisplayFrame> m_Latest;
    std::string m_Failure;
    std::uint64_t m_Serial = 0;
    std::thread m_Thread;
};

}  // namespace pattix::view
