// pattix-view's frame path, stage by stage, for the frames it is slowest with (UHD at 16 and
// 8 bits) and a 1080 one. The render thread copies the effect and renders it ("render"), then
// converts the picture for display ("convert"); the window's thread uploads it as a texture
// ("upload") and draws the viewer ("draw", a 1000x560 viewport, every frame). Counter
// "refreshes" is the stage's time in displays refreshes at 60 Hz: a stage on the window's
// thread above 1 would hold the window for more than one refresh.
//
// Run by hand (see README, "Benchmarks"); never by CTest.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>

#include "apps/host/effect_instance.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix-view/display_frame.hpp"
#include "apps/pattix-view/picture_view.hpp"
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
    sdk::host::HostExecutionContext context;
    std::unique_ptr<host::EffectInstance> effect;
    std::unique_ptr<host::FrameRenderer> renderer;
    view::DisplayFrame display;

    RenderedFrame(const benchmark::State& state) {
        const host::FrameSize size{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
        sdk::host::setProjectFrame(size.width, size.height);
        effect = std::make_unique<host::EffectInstance>(setup().session.createEffect());
        effect->setInteger(PARAM_PATTERN, 4);  // SMPTE Colour Bars
        host::RenderSettings settings;
        settings.size = settings.world = size;
        settings.depth = static_cast<int>(state.range(2));
        renderer = std::make_unique<host::FrameRenderer>(*effect, settings, context);
        renderer->render(0);
        view::convertForDisplay(renderer->image(), display);
    }
};

void countRefreshes(benchmark::State& state) {
    state.counters["refreshes"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / kRefreshesPerSecond,
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

void upload(benchmark::State& state) {
    RenderedFrame frame(state);
    test::OffscreenContext context(1000, 560);
    if (!context.ok()) {
        state.SkipWithError(context.error().c_str());
        return;
    }
    view::PictureTexture texture;
    for (auto _ : state) {
        texture.upload(frame.display);
        glFinish();
    }
    countRefreshes(state);
}

void draw(benchmark::State& state) {
    RenderedFrame frame(state);
    test::OffscreenContext context(1000, 560);
    if (!context.ok()) {
        state.SkipWithError(context.error().c_str());
        return;
    }
    view::PictureTexture texture;
    texture.upload(frame.display);
    view::ViewGeometry geometry({frame.display.width, frame.display.height},
                                {frame.display.width, frame.display.height});
    geometry.setViewport(1000, 560);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        texture.draw(geometry.surface(), frame.display.width, frame.display.height);
        glFinish();
    }
    countRefreshes(state);
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

}  // namespace
}  // namespace pattix

BENCHMARK_MAIN();
