// Textures: typed, non-copying views of a rectangle of pixels, usually the host's own
// buffer, with the coordinate bookkeeping that generators and samplers need.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

#include "plugin/image/pixel_types.hpp"

namespace pattix {

enum KtWrapMode : std::int32_t {
    kWrapBorder = 0,
    kWrapClamp = 1,
    kWrapMirror = 2,
    kWrapRepeat = 3,
};

// One axis of a texture. Indices are stored indices (0 is the first stored pixel); coordinates
// are stored indices plus `start`.
struct KtTexAxis {
    std::int32_t size = 0;
    float origin = 0.0f;
    std::int32_t originInt = 0;
    std::int32_t wrapMode = kWrapBorder;
    std::int32_t windowLow = 0;
    std::int32_t windowHigh = -1;
    std::int32_t windowCount = 0;
    std::int32_t start = 0;
    std::uint8_t axisFlags = 0;

    // Setting a size makes the whole axis the sampling window.
    void setSize(std::int32_t n) noexcept {
        size = n;
        windowLow = 0;
        windowHigh = n - 1;
        windowCount = n;
    }

    // The stored index that index i reads under the wrap mode, or -1 for "none" (outside the
    // window in border mode). The window never starts below 0, so -1 is free to mean none.
    std::int32_t map(std::int32_t i) const noexcept {
        const std::int32_t m = windowCount;
        if (m <= 0) return -1;
        const std::int32_t d = i - windowLow;
        if (d >= 0 && d < m) return windowLow + d;
        switch (wrapMode) {
            case kWrapClamp:
                return d < 0 ? windowLow : windowHigh;
            case kWrapMirror: {
                const std::int64_t period = 2 * static_cast<std::int64_t>(m);
                const auto p = static_cast<std::int32_t>(floorMod(d, period));
                return p < m ? windowLow + p : windowLow + 2 * m - 1 - p;
            }
            case kWrapRepeat:
                return windowLow + static_cast<std::int32_t>(floorMod(d, m));
            default:
                return -1;
        }
    }

    // Indices i and i + 1 mapped together, as the bilinear sampler reads them.
    struct Pair {
        std::int32_t first;
        std::int32_t second;
        bool adjacent;  // second is exactly first + 1: the two pixels can be read as a pair
    };
    Pair mapPair(std::int32_t i) const noexcept {
        const std::int32_t first = map(i);
        const std::int32_t second = map(i + 1);
        return {first, second, first >= 0 && second == first + 1};
    }

    static std::int64_t floorMod(std::int64_t value, std::int64_t modulus) noexcept {
        const std::int64_t rest = value % modulus;
        return rest < 0 ? rest + modulus : rest;
    }
};

// The untyped base: the two axes and the operations that need no pixel type.
class KtTexIndexer {
public:
    KtTexAxis xAxis;
    KtTexAxis yAxis;

    KtTexIndexer() noexcept = default;
    KtTexIndexer(const KtTexIndexer&) = delete;
    KtTexIndexer& operator=(const KtTexIndexer&) = delete;
    virtual ~KtTexIndexer() = default;

    // Each pair may come in either order; the window is clamped to the stored pixels.
    virtual void setSampleWindow(std::int32_t x0, std::int32_t x1, std::int32_t y0,
                                 std::int32_t y1) noexcept {
        setAxisWindow(xAxis, x0, x1);
        setAxisWindow(yAxis, y0, y1);
    }

    virtual void setWrapModes(std::int32_t xMode, std::int32_t yMode) noexcept {
        xAxis.wrapMode = xMode;
        yAxis.wrapMode = yMode;
    }

    virtual void setOrigin(int x, int y) noexcept {
        xAxis.origin = static_cast<float>(x);
        yAxis.origin = static_cast<float>(y);
        xAxis.originInt = x;
        yAxis.originInt = y;
    }

    // The integer origin is the nearest pixel, halves rounding up (floor of value + 0.5).
    virtual void setOrigin(float x, float y) noexcept {
        xAxis.origin = x;
        yAxis.origin = y;
        xAxis.originInt = static_cast<std::int32_t>(std::floor(x + 0.5f));
        yAxis.originInt = static_cast<std::int32_t>(std::floor(y + 0.5f));
    }

    void setSize(std::int32_t width, std::int32_t height) noexcept {
        xAxis.setSize(width);
        yAxis.setSize(height);
    }
    std::int32_t width() const noexcept { return xAxis.size; }
    std::int32_t height() const noexcept { return yAxis.size; }

private:
    static void setAxisWindow(KtTexAxis& axis, std::int32_t a, std::int32_t b) noexcept {
        const std::int32_t last = axis.size - 1;
        auto clampIndex = [last](std::int32_t v) {
            return v > last ? (last < 0 ? 0 : last) : (v < 0 ? 0 : v);
        };
        axis.windowLow = clampIndex(a < b ? a : b);
        axis.windowHigh = clampIndex(a < b ? b : a);
        axis.windowCount = axis.windowHigh - axis.windowLow + 1;
    }
};

template <class Pixel, class WorkColour>
class KtTexture : public KtTexIndexer {
public:
    using PixelType = Pixel;
    using WorkColourType = WorkColour;

    std::int32_t ownsData = 0;
    void* data =
        nullptr;  // stored pixel (0, 0), the pixel at coordinate (xAxis.start, yAxis.start)
    Pixel border{};
    std::int32_t rowBytes = 0;  // negative for a view of a buffer from its last row upward

    KtTexture() noexcept = default;
    ~KtTexture() override {
        releaseData();
        setSize(0, 0);
        setSampleWindow(0, 0, 0, 0);
    }

    // Becomes a non-owning view of the other texture's pixels.
    virtual void refer(const KtTexture& other) noexcept {
        if (&other == this) return;
        releaseData();
        xAxis = other.xAxis;
        yAxis = other.yAxis;
        data = other.data;
        ownsData = 0;
        setBorder(other.border);
        rowBytes = other.rowBytes;
    }

    virtual void setBorder(const Pixel& pixel) noexcept { border = pixel; }

    // Bilinear sample at the centre of the rectangle (x0, y0)-(x1, y1), in the stored scale:
    // an 8-bit 255 samples as 255.0, a 16-bit 16384 as 16384.0.
    virtual void sample(WorkColour& result, float x0, float y0, float x1, float y1) const noexcept {
        const float sx = (x0 + x1) * 0.5f - 0.5f - xAxis.origin;
        const float sy = (y0 + y1) * 0.5f - 0.5f - yAxis.origin;
        const float ixf = std::floor(sx);
        const float iyf = std::floor(sy);
        const float fx = sx - ixf;
        const float fy = sy - iyf;
        const KtTexAxis::Pair columns = xAxis.mapPair(static_cast<std::int32_t>(ixf));
        const KtTexAxis::Pair rows = yAxis.mapPair(static_cast<std::int32_t>(iyf));

        Pixel p00, p10, p01, p11;
        if (columns.adjacent && rows.adjacent) {
            const Pixel* low = storedPixel(columns.first, rows.first);
            const Pixel* high = storedPixel(columns.first, rows.second);
            p00 = low[0];
            p10 = low[1];
            p01 = high[0];
            p11 = high[1];
        } else {
            p00 = storedOrBorder(columns.first, rows.first);
            p10 = storedOrBorder(columns.second, rows.first);
            p01 = storedOrBorder(columns.first, rows.second);
            p11 = storedOrBorder(columns.second, rows.second);
        }
        for (int i = 0; i < Pixel::componentCount; ++i) {
            const float c00 = static_cast<float>(p00.component(i));
            const float c10 = static_cast<float>(p10.component(i));
            const float c01 = static_cast<float>(p01.component(i));
            const float c11 = static_cast<float>(p11.component(i));
            const float low = c00 + (c10 - c00) * fx;
            const float high = c01 + (c11 - c01) * fx;
            result.setComponent(i, low + (high - low) * fy);
        }
    }

    virtual void sampleAround(WorkColour& result, float cx, float cy, float rx,
                              float ry) const noexcept {
        sample(result, cx - rx, cy - ry, cx + rx, cy + ry);
    }

    // Addressing by stored index and by coordinate. Row steps may be negative.
    Pixel* storedRow(std::int32_t j) const noexcept {
        return reinterpret_cast<Pixel*>(static_cast<char*>(data) +
                                        static_cast<std::ptrdiff_t>(j) * rowBytes);
    }
    Pixel* storedPixel(std::int32_t i, std::int32_t j) const noexcept { return storedRow(j) + i; }
    Pixel* pixelAt(std::int32_t x, std::int32_t y) const noexcept {
        return storedPixel(x - xAxis.start, y - yAxis.start);
    }

private:
    Pixel storedOrBorder(std::int32_t i, std::int32_t j) const noexcept {
        return i < 0 || j < 0 ? border : *storedPixel(i, j);
    }

    void releaseData() noexcept {
        if (ownsData && data != nullptr) ::operator delete(data);
        data = nullptr;
        ownsData = 0;
    }
};

}  // namespace pattix
