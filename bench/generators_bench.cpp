// Frame times of the colour-bar and ramp generators through Generator::process (the runner's
// workers included, where it chooses to split), each against two baselines filling the same buffer
// in the same iterations: a single-thread memset ("vs_memset" is memset time / generator time)
// and a memset split over the runner's persistent workers, one band per processor, which is as
// fast as this machine writes memory ("vs_ceiling"). Above 1 is faster. The ratios are of median
// frame times: other work on the machine stalls a frame now and then, and a stall that falls on
// one side of the ratio would say nothing about the generator.
//
// On the 2-core build machines, memset of a 1080 frame (one `rep stosb` in glibc) runs at one of
// two speeds that change over minutes, whatever the buffer: about 75 us for 8 MiB when it keeps
// the lines in the cache without reading them first, about 190 us when it streams them to memory
// as non-temporal stores do. Ordinary vector stores take 80-105 us in both; a row copied over the
// rows after it with one `rep movsb`, as the generators repeat alike rows, 78-90 us. memset_us
// tells which speed a run saw; compare ratios of one run only.
//
// Crossover/<bytes> times memset of a buffer alone and split over the workers ("split_gain" is
// alone / split, medians too): what a second processor gains a fill as fast as memset. The
// runner does not go by it: between kSplitMeasuredBytes and kSplitWorthBytes it times its own
// runs both ways.
//
// Run by hand (see README, "Benchmarks"); never by CTest.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "sdk/host/image.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace pattix {
namespace {

// The baseline writes a non-zero byte, as every pattern does. On these machines a zero memset of
// a large buffer runs up to twice as fast and leaves the next writer of that buffer several times
// slower (measured, cause not established), which would flatter the baseline and charge the
// generator for it.
constexpr int kMemsetByte = 0x5A;

// The frames are the host's own images, as the effect renders into them.
struct ImageRelease {
    void operator()(sdk::host::HostImage* image) const { image->Release(); }
};

template <class Pixel>
struct Frame {
    std::int32_t width;
    std::int32_t height;
    std::size_t bytes;
    std::unique_ptr<sdk::host::HostImage, ImageRelease> image;
    KtTexture<Pixel, WorkColour> texture;

    Frame(std::int32_t w, std::int32_t h)
        : width(w),
          height(h),
          bytes(static_cast<std::size_t>(w) * h * sizeof(Pixel)),
          image(sdk::host::HostImage::create(
              w, h, sizeof(Pixel) == 4 ? MFIF_RGBA_RAW_32 : MFIF_RGBA_S2_14)) {
        if (!image) {
            std::fprintf(stderr, "generators_bench: no memory for a %dx%d frame\n", w, h);
            std::exit(1);
        }
        texture.setSize(w, h);
        const auto rowStep = static_cast<std::int32_t>(w * sizeof(Pixel));
        char* base = reinterpret_cast<char*>(image->data());
        if constexpr (sizeof(Pixel) == 4) {
            texture.data = base;
            texture.rowBytes = rowStep;
        } else {
            texture.data = base + static_cast<std::size_t>(h - 1) * rowStep;
            texture.rowBytes = -rowStep;
        }
        std::memset(base, kMemsetByte, bytes);
    }

    void* memory() const { return image->data(); }
};

using Clock = std::chrono::steady_clock;

void memsetBandJob(void* memory, void* bytes, void*, void*, void*, void*) {
    const std::size_t total = *static_cast<std::size_t*>(bytes);
    const auto bands = static_cast<std::size_t>(threadCount());
    const auto band = static_cast<std::size_t>(threadIndex());
    // Bands of whole cache lines, as the generators' row bands nearly are.
    const std::size_t chunk = (total / bands + 63) / 64 * 64;
    const std::size_t first = std::min(band * chunk, total);
    const std::size_t last = band + 1 == bands ? total : std::min(first + chunk, total);
    std::memset(static_cast<char*>(memory) + first, kMemsetByte, last - first);
}

void memsetAlone(void* memory, std::size_t bytes) {
    std::memset(memory, kMemsetByte, bytes);
    benchmark::ClobberMemory();
}

void memsetSplit(void* memory, std::size_t bytes) {
    runParallel(kSplitAlways, &memsetBandJob, 2, memory, &bytes);
    benchmark::ClobberMemory();
}

double median(std::vector<double>& values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Each fill is timed in runs of its own: kSettleFrames untimed, then kTimedFrames timed, as a host
// renders frame after frame into the same buffer. A fill timed straight after another finds the
// buffer's lines where the other left them (after the split memset, half of them modified in the
// other processor's cache) and measured up to three times slower, still 10-40% slower after one
// untimed run of its own; the string copies of repeated rows were slowed most.
constexpr int kSettleFrames = 3;
constexpr int kTimedFrames = 8;

// Appends the timed frames' seconds; returns their sum.
double timeFrames(std::vector<double>& seconds, const std::function<void()>& fill) {
    for (int frame = 0; frame < kSettleFrames; ++frame) fill();
    double sum = 0.0;
    for (int frame = 0; frame < kTimedFrames; ++frame) {
        const auto start = Clock::now();
        fill();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        sum += seconds.back();
    }
    return sum;
}

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
    void* const memory = frame.memory();

    const std::size_t bytes = frame.bytes;
    std::vector<double> generatorSeconds, memsetSeconds, ceilingSeconds;
    for (auto _ : state) {
        state.SetIterationTime(timeFrames(generatorSeconds, renderOnce) / kTimedFrames);
        timeFrames(memsetSeconds, [=] { memsetAlone(memory, bytes); });
        timeFrames(ceilingSeconds, [=] { memsetSplit(memory, bytes); });
    }
    const double generator = median(generatorSeconds);
    state.counters["memset_us"] = benchmark::Counter(median(memsetSeconds) * 1e6);
    state.counters["ceiling_us"] = benchmark::Counter(median(ceilingSeconds) * 1e6);
    state.counters["vs_memset"] = benchmark::Counter(median(memsetSeconds) / generator);
    state.counters["vs_ceiling"] = benchmark::Counter(median(ceilingSeconds) / generator);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(frame.bytes));
}

void runCrossover(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const Frame<Rgba8> frame(static_cast<std::int32_t>(bytes / 4), 1);  // a buffer as the frames'
    void* const memory = frame.memory();
    std::vector<double> aloneSeconds, splitSeconds;
    for (auto _ : state) {
        state.SetIterationTime(timeFrames(splitSeconds, [=] { memsetSplit(memory, bytes); }) /
                               kTimedFrames);
        timeFrames(aloneSeconds, [=] { memsetAlone(memory, bytes); });
    }
    state.counters["alone_us"] = benchmark::Counter(median(aloneSeconds) * 1e6);
    state.counters["split_gain"] = benchmark::Counter(median(aloneSeconds) / median(splitSeconds));
}

// Every benchmark times at least this much of the measured fill's frames in all; with the settle
// frames and the baselines' frames a 1080 benchmark takes about 4 s.
constexpr double kMinTimedSeconds = 0.1;

void timeManually(benchmark::internal::Benchmark* benchmark) {
    benchmark->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(kMinTimedSeconds);
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
                ->Apply(timeManually);
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
                    ->Apply(timeManually);
            }
        }
    }
}

}  // namespace
}  // namespace pattix

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("Crossover", pattix::runCrossover)
        ->RangeMultiplier(2)
        ->Range(32 << 10, 32 << 20)
        ->Apply(pattix::timeManually);
    pattix::registerDepth<pattix::Rgba8, pattix::KtColBarGenerator8, pattix::KtRampGenerator8>(
        "8bit");
    pattix::registerDepth<pattix::Rgba16, pattix::KtColBarGenerator16, pattix::KtRampGenerator16>(
        "16bit");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
