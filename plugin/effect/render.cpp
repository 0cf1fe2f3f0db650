// The render of one frame: from the host's Execute to a filled output buffer.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "plugin/effect/bars.hpp"
#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "plugin/image/texture.hpp"
#include "plugin/module/project_value.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/image.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/project.hpp"

namespace pattix {
namespace {

// Polled by every render thread before each row. The execution context answers non-zero while
// work may go on.
int interruptCheck(void* userData, void* stopCode) {
    auto* context = static_cast<IDSExecutionContext*>(userData);
    // A host that gave no context cannot ask for a stop.
    if (context == nullptr || context->ShouldContinue() != FALSE) return 0;
    std::atomic_ref<std::int32_t>(*static_cast<std::int32_t*>(stopCode))
        .store(kStopCodeInterrupted, std::memory_order_relaxed);
    return 1;
}

// User size over world size of the project frame, or 0 when any of the four values is missing
// (or the world height is 0, which gives no ratio either).
double aspectFactor() {
    const wchar_t* const names[] = {sdk::host::kFrameUserSizeX, sdk::host::kFrameUserSizeY,
                                    sdk::host::kFrameWorldSizeX, sdk::host::kFrameWorldSizeY};
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!readProjectValue(names[i], values[i])) return 0.0;
    }
    const double factor = values[1] / values[3];
    return std::isfinite(factor) ? factor : 0.0;
}

struct ImageGeometry {
    KtFrameRect rect;
    KtPixelOffset offset;
};

// World rectangle of an image scaled to the project, and its integer pixel offset.
ImageGeometry imageGeometry(IDSImage* image, IDSCoordinateManager* coordinates) {
    ImageGeometry geometry;
    if (image == nullptr) return geometry;
    double width = 0.0, height = 0.0, x = 0.0, y = 0.0;
    image->GetWorldSize(&width, &height);
    image->GetWorldOrigin(&x, &y);
    const double originFactor = aspectFactor();
    const double sizeFactor = aspectFactor();
    geometry.rect = {static_cast<float>(width * sizeFactor),
                     static_cast<float>(height * sizeFactor), static_cast<float>(x * originFactor),
                     static_cast<float>(y * originFactor)};
    if (coordinates != nullptr) {
        int px = 0, py = 0, pw = 0, ph = 0;
        if (SUCCEEDED(coordinates->WorldToPixels(x, y, width, height, &px, &py, &pw, &ph))) {
            geometry.offset = {px, py};
        }
    }
    return geometry;
}

template <class Pixel>
struct PixelPath;

template <>
struct PixelPath<Rgba8> {
    static constexpr int kBytesPerPixel = 4;
    static constexpr int kMax = 255;
    static const GUID& format() { return MFIF_RGBA_RAW_32; }
};

template <>
struct PixelPath<Rgba16> {
    static constexpr int kBytesPerPixel = 8;
    static constexpr int kMax = 32767;
    static const GUID& format() { return MFIF_RGBA_S2_14; }
};

// The generators count rows from the texture's origin in 32 bits, and the origin passes through a
// float, whose steps near 2^31 are 128: a picture and its pixel offset must stay inside that.
constexpr std::int64_t kLargestCoordinate = std::numeric_limits<std::int32_t>::max() - 128;

bool fitsAroundOrigin(int size, int offset) noexcept {
    return std::abs(static_cast<std::int64_t>(offset)) + size <= kLargestCoordinate;
}

// Views the host buffer without copying it, so that texture row 0 is the bottom of the
// picture in both formats. An image without pixels or buffer leaves the texture empty (the
// generator reports it as bogus); one whose rows or offset the 32-bit texture cannot address is
// refused with E_INVALIDARG before anything points into it.
template <class Pixel>
HRESULT wrapImage(KtTexture<Pixel, WorkColour>& texture, IDSImage* image,
                  const KtPixelOffset& origin) {
    if (image == nullptr || image->CheckAccess() != S_OK) return S_OK;
    int width = 0, height = 0;
    void* buffer = nullptr;
    if (FAILED(image->GetSize(&width, &height)) || FAILED(image->GetBuffer(&buffer))) return S_OK;
    if (width < 1 || height < 1 || buffer == nullptr) return S_OK;
    constexpr int bpp = PixelPath<Pixel>::kBytesPerPixel;
    const std::int64_t rowBytes = static_cast<std::int64_t>(width) * bpp;
    if (rowBytes > std::numeric_limits<std::int32_t>::max() || !fitsAroundOrigin(width, origin.x) ||
        !fitsAroundOrigin(height, origin.y)) {
        return E_INVALIDARG;
    }
    texture.setSize(width, height);
    texture.ownsData = 0;
    const auto rows = sdk::host::HostImage::rowLayout(PixelPath<Pixel>::format(), width, height);
    texture.data = static_cast<char*>(buffer) + rows.first;
    texture.rowBytes = static_cast<std::int32_t>(rows.step);
    texture.setOrigin(origin.x, origin.y);
    return S_OK;
}

// Host rectangles and offsets are 32-bit each, and their sums are not: the window is worked out
// in 64 bits and held where its one-past-the-end (x1 + 1) and the clipping's x1 - 1 stay 32-bit.
// Every texture coordinate lies well inside, so the held window covers the same pixels.
struct WideWindow {
    std::int64_t x0, x1, y0, y1;

    void shift(const KtPixelOffset& offset) noexcept {
        x0 += offset.x;
        x1 += offset.x;
        y0 += offset.y;
        y1 += offset.y;
    }
    KtProcessWindow held() const noexcept { return {hold(x0), hold(x1), hold(y0), hold(y1)}; }

    static std::int32_t hold(std::int64_t value) noexcept {
        constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min() + 1;
        constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max() - 1;
        return static_cast<std::int32_t>(std::clamp(value, kLow, kHigh));
    }
};

}  // namespace

void Bars::storeGeometry(const KtFrameRect& output, const KtFrameRect& source,
                         const KtPixelOffset& outputOffset, const KtPixelOffset& sourceOffset) {
    std::lock_guard lock(m_LinkMutex);
    m_OutputFrame = output;
    m_SourceRect = source;
    m_OutputOffset = outputOffset;
    m_SourceOffset = sourceOffset;
}

HRESULT Bars::Execute(double /*time*/) {
    HRESULT hr = PrepareData();
    if (hr != S_OK) return hr;
    const DSRenderData& data = RenderData();

    m_Interrupt.record.userData = data.context;
    m_Interrupt.record.callback = &interruptCheck;
    m_Interrupt.record.aborted = 0;
    m_Interrupt.stopCode = 0;
    m_FieldMode = data.field == DS_FIELD_FIRST ? 1 : data.field == DS_FIELD_SECOND ? 2 : 0;

    if (data.output == nullptr) return E_POINTER;
    hr = data.output->CheckAccess();
    if (hr != S_OK) return hr;

    WideWindow window{};
    if (data.regionSet) {
        const DSRegion& r = data.region;
        window = {r.x, std::int64_t{r.x} + r.width - 1, r.y, std::int64_t{r.y} + r.height - 1};
    } else {
        int width = 0, height = 0;
        data.output->GetSize(&width, &height);
        window = {0, std::int64_t{width} - 1, 0, std::int64_t{height} - 1};
    }

    IDSImage* input = data.inputs[0];
    const ImageGeometry source = imageGeometry(input, data.coordinates);
    window.shift(source.offset);

    const ImageGeometry output = imageGeometry(data.output, data.coordinates);
    if (input == nullptr) window.shift(output.offset);
    m_Window = window.held();
    storeGeometry(output.rect, source.rect, output.offset, source.offset);

    if (Bars* origin = m_pCloneSource) {
        {
            std::lock_guard lock(origin->m_LinkMutex);
            origin->m_OutputFrame = output.rect;
            origin->m_SourceRect = source.rect;
        }
        origin->updateOverlayGeometry();
    }

    GUID format{};
    if (const HRESULT formatResult = data.output->GetPixelFormat(&format); FAILED(formatResult))
        return formatResult;
    if (format == MFIF_RGBA_RAW_32) return renderPixels<Rgba8>(255);
    if (format == MFIF_RGBA_S2_14) return renderPixels<Rgba16>(16384);
    return S_OK;
}

template <class Pixel>
HRESULT Bars::renderPixels(int fullScale) {
    const DSRenderData& data = RenderData();
    KtTexture<Pixel, WorkColour> texture;
    if (const HRESULT hr = wrapImage(texture, data.output, m_OutputOffset); FAILED(hr)) return hr;

    PropLock();
    const std::int32_t pattern = m_Pattern;
    const std::int32_t direction = m_RampDirection;
    PropUnLock();

    constexpr int kMax = PixelPath<Pixel>::kMax;
    auto run = [&](auto& generator) {
        if (data.regionSet) generator.setWindow(m_Window.x0, m_Window.y0, m_Window.x1, m_Window.y1);
        generator.setFieldMode(m_FieldMode);
        generator.interrupt = &m_Interrupt.record;
        generator.process(&texture);
    };
    if (pattern < kFirstRampPattern) {
        KtColBarGenerator<Pixel, WorkColour, kMax> generator;
        generator.pattern = pattern;
        generator.alphaValue = fullScale;
        generator.barFlags = 0;
        run(generator);
    } else {
        KtRampGenerator<Pixel, WorkColour, kMax> generator;
        generator.rampType = pattern - kFirstRampPattern;
        generator.direction = direction;
        generator.alphaValue = fullScale;
        generator.rampFlags = 0;
        generator.originFlags = 0;
        run(generator);
    }
    return S_OK;
}

}  // namespace pattix
