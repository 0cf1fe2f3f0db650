// The render of one frame: from the host's Execute to a filled output buffer.

#include <atomic>
#include <cmath>

#include "plugin/effect/bars.hpp"
#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "plugin/image/texture.hpp"
#include "plugin/module/project_value.hpp"
#include "plugin/pages/parameters.hpp"
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
    geometry.rect = {static_cast<float>(width * sizeFactor), static_cast<float>(height * sizeFactor),
                     static_cast<float>(x * originFactor), static_cast<float>(y * originFactor)};
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
    static constexpr bool kBottomRowFirst = true;
};

template <>
struct PixelPath<Rgba16> {
    static constexpr int kBytesPerPixel = 8;
    static constexpr int kMax = 32767;
    static constexpr bool kBottomRowFirst = false;
};

// Views the host buffer without copying it, so that texture row 0 is the bottom of the
// picture in both formats.
template <class Pixel>
void wrapImage(KtTexture<Pixel, WorkColour>& texture, IDSImage* image, const KtPixelOffset& origin) {
    if (image == nullptr || image->CheckAccess() != S_OK) return;
    int width = 0, height = 0;
    void* buffer = nullptr;
    if (FAILED(image->GetSize(&width, &height)) || FAILED(image->GetBuffer(&buffer))) return;
    constexpr int bpp = PixelPath<Pixel>::kBytesPerPixel;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * bpp;
    texture.setSize(width, height);
    texture.ownsData = 0;
    if constexpr (PixelPath<Pixel>::kBottomRowFirst) {
        texture.data = buffer;
        texture.rowBytes = static_cast<std::int32_t>(rowBytes);
    } else {
        texture.data = height > 0 ? static_cast<char*>(buffer) + (height - 1) * rowBytes : buffer;
        texture.rowBytes = static_cast<std::int32_t>(-rowBytes);
    }
    texture.setOrigin(origin.x, origin.y);
}

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

    if (data.regionSet) {
        m_Window = {data.region.x, data.region.x + data.region.width - 1, data.region.y,
                    data.region.y + data.region.height - 1};
    } else {
        int width = 0, height = 0;
        data.output->GetSize(&width, &height);
        m_Window = {0, width - 1, 0, height - 1};
    }

    IDSImage* input = data.inputs[0];
    const ImageGeometry source = imageGeometry(input, data.coordinates);
    m_Window.x0 += source.offset.x;
    m_Window.x1 += source.offset.x;
    m_Window.y0 += source.offset.y;
    m_Window.y1 += source.offset.y;

    const ImageGeometry output = imageGeometry(data.output, data.coordinates);
    if (input == nullptr) {
        m_Window.x0 += output.offset.x;
        m_Window.x1 += output.offset.x;
        m_Window.y0 += output.offset.y;
        m_Window.y1 += output.offset.y;
    }
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
    if (FAILED(data.output->GetPixelFormat(&format))) return S_OK;
    if (format == MFIF_RGBA_RAW_32) return renderPixels<Rgba8>(255);
    if (format == MFIF_RGBA_S2_14) return renderPixels<Rgba16>(16384);
    return S_OK;
}

template <class Pixel>
HRESULT Bars::renderPixels(int fullScale) {
    const DSRenderData& data = RenderData();
    KtTexture<Pixel, WorkColour> texture;
    wrapImage(texture, data.output, m_OutputOffset);

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
