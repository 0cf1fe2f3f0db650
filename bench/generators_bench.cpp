// Frame times of the colour-bar and ramp generators through Generator::process (all processors,
// thread start-up included), each against a single-thread memset of the same buffer measured in
// the same benchmark. Counter "vs_memset" is memset time / generator time: above 1 is faster.
//
// Run by hand (see README, "Benchmarks"); never by CTest.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/ramp_generator.hpp"

namespace pattix {
namespace {

// The baseline writes a non-zero byte, as every pattern does. On these machines a zero memset of
// a large buffer runs up to twice as fast and leaves the next writer of that buffer several times
// slower (measured, cause not established), which would flatter the baseline and charge the
// generator for it.
constexpr int kMemsetByte = 0x5A;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Host-like frame buffer: the 8-bit texture views it from its first row, the 16-bit one from its
// last row upward, as the effect wraps them.
template <class Pixel>
struct Frame {
    std::int32_t width;
    std::int32_t height;
    std::size_t bytes;
    std::unique_ptr<void, FreeDeleter> memory;
    KtTexture<Pixel, WorkColour> texture;

    Frame(std::int32_t w, std::int32_t h)
        : width(w),
          height(h),
          bytes(static_cast<std::size_t>(w) * h * sizeof(Pixel)),
          memory(std::aligned_alloc(64, (bytes + 63) / 64 * 64)) {
        texture.setSize(w, h);
        const auto rowStep = static_cast<std::int32_t>(w * sizeof(Pixel));
        char* base = static_cast<char*>(memory.get());
        if constexpr (sizeof(Pixel) == 4) {
            texture.data = base;
            texture.rowBytes = rowStep;
        } else {
            texture.data = base + static_cast<std::size_t>(h - 1) * rowStep;
            texture.rowBytes = -rowStep;
        }
        std::memset(base, kMemsetByte, bytes);
    }
};

using Clock = std::chrono::steady_clock;

template <class Pixel, class Generator, class Configure>
void runGenerator(benchmark::State& state, std::int32_t width, std::int32_t height,
                  Configure configure) {
    Frame<Pixel> frame(width, height);
    auto renderOnce = [&] {
        Generator generator;  // on the stack per frame, as the render builds it
        generator.alphaValue = Pixel::unitValue;
        configure(generator);
        generator.process(&frame.texture);
        benchmark::ClobberMemory();
    };
    auto clearOnce = [&] {
        std::memset(frame.memory.get(), kMemsetByte, frame.bytes);
        benchmark::ClobberMemory();
    };
    renderOnce();
    clearOnce();

    double generatorSeconds = 0.0;
    double memsetSeconds = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        renderOnce();
        const auto rendered = Clock::now();
        clearOnce();
        const auto cleared = Clock::now();
        const double seconds = std::chrono::duration<double>(rendered - start).count();
        state.SetIterationTime(seconds);
        generatorSeconds += seconds;
        memsetSeconds += std::chrono::duration<double>(cleared - rendered).count();
    }
    const auto frames = static_cast<double>(state.iterations());
    state.counters["memset_us"] = benchmark::Counter(memsetSeconds / frames * 1e6);
    state.counters["vs_memset"] = benchmark::Counter(memsetSeconds / generatorSeconds);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(frame.bytes));
}

struct Size {
    std::int32_t width;
    std::int32_t height;
};

template <class Pixel, class Bars, class Ramp>
void registerDepth(const char* depth) {
    static const char* const kBarNames[] = {"EBU", "75%", "100%", "EIA", "SMPTE"};
    static const char* const kRampNames[] = {"RGB", "Grey", "RGBCrossed", "GreyCrossed"};
    for (const Size size : {Size{1920, 1080}, Size{3840, 2160}}) {
        const std::string suffix = std::string("/") + depth + "/" + std::to_string(size.width) +
                                   "x" + std::to_string(size.height);
        for (int pattern = 0; pattern <= 4; ++pattern) {
            benchmark::RegisterBenchmark(
                (std::string("ColourBars/") + kBarNames[pattern] + suffix).c_str(),
                [size, pattern](benchmark::State& state) {
                    runGenerator<Pixel, Bars>(state, size.width, size.height,
                                              [pattern](Bars& bars) { bars.pattern = pattern; });
                })
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
        }
        for (int type = 0; type <= 3; ++type) {
            for (const int direction : {kRampHorizontal, kRampVertical}) {
                const char* directionName =
                    direction == kRampHorizontal ? "Horizontal" : "Vertical";
                benchmark::RegisterBenchmark(
                    (std::string("Ramp/") + kRampNames[type] + "/" + directionName + suffix)
                        .c_str(),
                    [size, type, direction](benchmark::State& state) {
                        runGenerator<Pixel, Ramp>(state, size.width, size.height,
                                                  [type, direction](Ramp& ramp) {
                                                      ramp.rampType = type;
                                                      ramp.direction = direction;
                                                  });
                    })
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
}

}  // namespace
}  // namespace pattix

int main(int argc, char** argv) {
    pattix::registerDepth<pattix::Rgba8, pattix::KtColBarGenerator8, pattix::KtRampGenerator8>(
        "8bit");
    pattix::registerDepth<pattix::Rgba16, pattix::KtColBarGenerator16, pattix::KtRampGenerator16>(
        "16bit");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
