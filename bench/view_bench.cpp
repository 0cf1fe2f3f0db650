// pattix-view's frame path, stage by stage, for the frames it is slowest with (UHD at 16 and
// 8 bits) and a 1080 one. The render thread copies the effect and renders it ("render"), then
// converts the picture for display ("convert"); the window's thread uploads it as a texture
// ("upload") and draws the viewer ("draw", a 1000x560 viewport, every frame). Counter
// "refreshes" is the stage's time in display refreshes at 60 Hz: a stage on the window's
// thread above 1 would hold the window for more than one refresh. Last, both threads at once.
//
// Run by hand (see README, "Benchmarks"); never by CTest.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "apps/host/effect_instance.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix-view/display_frame.hpp"
#include "apps/pattix-view/picture_view.hpp"
#include "apps/pattix-view/render_worker.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/project.hpp"
#include "tests/overlay/gl_context.hpp"

namespace pattix {
namespace {

constexpr double kRefreshesPerSecond = 60.0;

struct Setup {
    host::ModuleSession session{PATTIX_MODULE_PATH};
};

Setup& setup() {
    static Setup instance;
    return instance;
}

// One effect rendered once at the benchmark's size and depth, as the viewer has it.
struct RenderedFrame {
    host::RenderSettings settings;
    sdk::host::HostExecutionContext context;
    std::unique_ptr<host::EffectInstance> effect;
    std::unique_ptr<host::FrameRenderer> renderer;
    view::DisplayFrame display;

    explicit RenderedFrame(const benchmark::State& state) {
        settings.size = {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
        settings.world = settings.size;
        settings.depth = static_cast<int>(state.range(2));
        sdk::host::setProjectFrame(settings.size.width, settings.size.height);
        effect = std::make_unique<host::EffectInstance>(setup().session.createEffect());
        effect->setInteger(PARAM_PATTERN, 4);  // SMPTE Colour Bars
        renderer = std::make_unique<host::FrameRenderer>(*effect, settings, context);
        renderer->render(0);
        view::convertForDisplay(renderer->image(), display);
    }
};

// The window's side: its context (offscreen here), the picture's texture and a fitted view.
struct ViewerSide {
    test::OffscreenContext context{1000, 560};
    view::PictureTexture texture;
    view::ViewGeometry geometry;
    double width, height;

    explicit ViewerSide(const RenderedFrame& frame)
        : geometry(frame.settings.size, frame.settings.world),
          width(frame.settings.world.width),
          height(frame.settings.world.height) {
        geometry.setViewport(1000, 560);
        if (context.ok()) texture.upload(frame.display);
    }
    void draw() {
        glClear(GL_COLOR_BUFFER_BIT);
        texture.draw(geometry.surface(), width, height);
        glFinish();
    }
};

void countRefreshes(benchmark::State& state) {
    state.counters["refreshes"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / kRefreshesPerSecond,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void render(benchmark::State& state) {
    RenderedFrame frame(state);
    for (auto _ : state) {
        frame.renderer->copyEffect();
        frame.renderer->render(0);
    }
    countRefreshes(state);
}

void convert(benchmark::State& state) {
    RenderedFrame frame(state);
    for (auto _ : state) {
        view::convertForDisplay(frame.renderer->image(), frame.display);
        benchmark::DoNotOptimize(frame.display.rgba.data());
    }
    countRefreshes(state);
}

// upload (`draws` false) or draw.
void windowStage(benchmark::State& state, bool draws) {
    RenderedFrame frame(state);
    ViewerSide viewer(frame);
    if (!viewer.context.ok()) return state.SkipWithError(viewer.context.error().c_str());
    for (auto _ : state) {
        if (draws) {
            viewer.draw();
        } else {
            viewer.texture.upload(frame.display);
            glFinish();
        }
    }
    countRefreshes(state);
}

void upload(benchmark::State& state) {
    windowStage(state, false);
}
void draw(benchmark::State& state) {
    windowStage(state, true);
}

// The window's thread while the render thread renders back to back: each iteration is one
// window frame (take the newest picture and upload it if it is new, draw the viewer, finish).
// "longest_ms" is the longest such frame: the most the window is ever held.
void windowWhileRendering(benchmark::State& state) {
    RenderedFrame frame(state);
    ViewerSide viewer(frame);
    if (!viewer.context.ok()) return state.SkipWithError(viewer.context.error().c_str());
    view::RenderWorker worker(*frame.effect, frame.settings, {});
    std::uint64_t shown = 0, pictures = 0;
    double longest = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (const auto picture = worker.latest(); picture && picture->serial != shown) {
            viewer.texture.upload(*picture);
            shown = picture->serial;
            ++pictures;
            worker.request();
        }
        viewer.draw();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    }
    state.counters["longest_ms"] = longest;
    state.counters["pictures"] = static_cast<double>(pictures);
}

void frames(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "bits"});
    b->Args({3840, 2160, 16})->Args({3840, 2160, 8})->Args({1920, 1080, 16});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(render)->Apply(frames);
BENCHMARK(convert)->Apply(frames);
BENCHMARK(upload)->Apply(frames);
BENCHMARK(draw)->Apply(frames);
BENCHMARK(windowWhileRendering)->Apply(frames)->MinTime(2.0);

}  // namespace
}  // namespace pattix

BENCHMARK_MAIN();
