// PNG files of every pattern, 1080 and UHD, 8 and 16 bits, rendered by the module as pattix
// renders them, written by pattix's writer and, in the same iteration, by libpng left to its
// defaults (all five filters tried on every row, zlib level 6), as pattix wrote them before.
// Counters: "speedup" is the default writer's median time over pattix's, "size" pattix's file over
// the default one. Times are the writing thread's processor time: the encoder is single-threaded,
// and processor time does not count the waits a busy machine adds.
//
// Run by hand (see README, "Benchmarks"); never by CTest.
#include <benchmark/benchmark.h>
#include <png.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/host/fixed_point_conversion.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix/png_frame_writer.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/project.hpp"

namespace pattix {
namespace {

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double>& values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// An in-memory file, emptied before each picture.
class MemoryFile {
public:
    MemoryFile() : m_Fd(memfd_create("png_bench", 0)) {
        if (m_Fd < 0) throw std::runtime_error("memfd_create failed");
    }
    ~MemoryFile() { ::close(m_Fd); }
    int fd() const { return m_Fd; }
    void empty() const {
        if (::ftruncate(m_Fd, 0) != 0 || ::lseek(m_Fd, 0, SEEK_SET) != 0)
            throw std::runtime_error("cannot empty the in-memory file");
    }
    long size() const { return ::lseek(m_Fd, 0, SEEK_CUR); }

private:
    int m_Fd;
};

// libpng's defaults, with the rows and samples pattix hands it. libpng reports errors by longjmp
// out of this frame, so nothing here may need destroying.
void writeRowsWithDefaults(png_structp png, png_infop info, std::FILE* file,
                           const sdk::host::HostImage& image, std::uint16_t* converted) {
    if (setjmp(png_jmpbuf(png))) return;
    const bool fixedPoint = image.format() == MFIF_RGBA_S2_14;
    const std::size_t rowBytes = image.rowBytes();
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), fixedPoint ? 16 : 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto height = static_cast<std::size_t>(image.height());
    for (std::size_t row = 0; row < height; ++row) {
        const std::byte* source = image.data() + (fixedPoint ? row : height - 1 - row) * rowBytes;
        if (fixedPoint) {
            host::convertFixedToUnsigned16<std::endian::big>(
                reinterpret_cast<const std::int16_t*>(source), converted,
                rowBytes / sizeof(std::uint16_t));
            source = reinterpret_cast<const std::byte*>(converted);
        }
        png_write_row(png, reinterpret_cast<png_const_bytep>(source));
    }
    png_write_end(png, info);
}

void writeWithDefaults(int fd, const sdk::host::HostImage& image) {
    std::FILE* file = ::fdopen(::dup(fd), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint16_t> converted(image.rowBytes() / sizeof(std::uint16_t));
    writeRowsWithDefaults(png, info, file, image, converted.data());
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

struct Picture {
    const char* name;
    int pattern;
    int direction;
};

void runPicture(benchmark::State& state, const host::ModuleSession& session, Picture picture,
                host::FrameSize size, int depth) {
    sdk::host::setProjectFrame(size.width, size.height, size.width, size.height);
    host::EffectInstance effect(session.createEffect());
    effect.setInteger(PARAM_PATTERN, picture.pattern);
    effect.setInteger(PARAM_RAMP_DIRECTION, picture.direction);
    host::RenderSettings settings;
    settings.size = settings.world = size;
    settings.depth = depth;
    sdk::host::HostExecutionContext context;
    host::FrameRenderer renderer(effect, settings, context);
    renderer.render(0);
    const MemoryFile file;

    std::vector<double> oursSeconds, defaultSeconds;
    long oursBytes = 0;
    long defaultBytes = 0;
    for (auto _ : state) {
        file.empty();
        const double start = threadSeconds();
        cli::writePng(file.fd(), "the benchmark's file", renderer.image());
        const double written = threadSeconds();
        oursBytes = file.size();
        file.empty();
        writeWithDefaults(file.fd(), renderer.image());
        defaultSeconds.push_back(threadSeconds() - written);
        defaultBytes = file.size();
        state.SetIterationTime(written - start);
        oursSeconds.push_back(written - start);
    }
    state.counters["speedup"] = benchmark::Counter(median(defaultSeconds) / median(oursSeconds));
    state.counters["size"] = benchmark::Counter(static_cast<double>(oursBytes) / defaultBytes);
    state.counters["bytes"] = benchmark::Counter(static_cast<double>(oursBytes));
}

}  // namespace
}  // namespace pattix

int main(int argc, char** argv) {
    using namespace pattix;
    const host::ModuleSession session(PATTIX_MODULE_PATH);
    const Picture pictures[] = {
        {"EBU", 0, 0},
        {"75%", 1, 0},
        {"100%", 2, 0},
        {"EIA", 3, 0},
        {"SMPTE", 4, 0},
        {"RGB/Horizontal", 5, 0},
        {"RGB/Vertical", 5, 1},
        {"Grey/Horizontal", 6, 0},
        {"Grey/Vertical", 6, 1},
        {"RGBCrossed/Horizontal", 7, 0},
        {"RGBCrossed/Vertical", 7, 1},
        {"GreyCrossed/Horizontal", 8, 0},
        {"GreyCrossed/Vertical", 8, 1},
    };
    for (const host::FrameSize size : {host::FrameSize{1920, 1080}, host::FrameSize{3840, 2160}}) {
        for (const int depth : {8, 16}) {
            for (const Picture& picture : pictures) {
                const std::string name =
                    std::string("Png/") + picture.name + "/" + std::to_string(depth) + "bit/" +
                    std::to_string(size.width) + "x" + std::to_string(size.height);
                benchmark::RegisterBenchmark(name.c_str(),
                                             [&session, picture, size, depth](benchmark::State& s) {
                                                 runPicture(s, session, picture, size, depth);
                                             })
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
