#include "plugin/image/imager.hpp"

#include <algorithm>
#include <atomic>

#include "plugin/image/parallel_runner.hpp"

namespace pattix {
namespace {

struct Window {
    std::int32_t x0, y0, x1, y1;
};

// Clamps one axis of a window to the coordinates first..last; an end is clamped as the last
// row or column it includes. A window that misses the texture on this axis becomes empty
// rather than collapsing onto the edge, where it would draw pixels nobody asked for.
void clipAxis(std::int32_t& low, std::int32_t& high, std::int32_t first,
              std::int32_t last) noexcept {
    const bool misses = low > last || high - 1 < first;
    low = std::clamp(low, first, last);
    high = misses ? low : std::clamp(high - 1, first, last) + 1;
}

Window clipToTexture(Window w, const KtTexIndexer& texture) noexcept {
    clipAxis(w.x0, w.x1, texture.xAxis.start, texture.xAxis.start + texture.xAxis.size - 1);
    clipAxis(w.y0, w.y1, texture.yAxis.start, texture.yAxis.start + texture.yAxis.size - 1);
    return w;
}

}  // namespace

bool KtInteruptable::stopRequested() const noexcept {
    if (interrupt == nullptr) return false;
    std::atomic_ref<std::int32_t> aborted(interrupt->aborted);
    if (aborted.load(std::memory_order_acquire) != 0) return true;
    if (interrupt->callback == nullptr) return false;
    const int answer = interrupt->callback(
        interrupt->userData, reinterpret_cast<char*>(interrupt) + sizeof(KtInterruptRecord));
    if (answer == 0) return false;
    aborted.store(answer, std::memory_order_release);
    return true;
}

void Imager::setWindow(std::int32_t x0, std::int32_t y0, std::int32_t x1,
                       std::int32_t y1) noexcept {
    windowX0 = x0;
    windowY0 = y0;
    windowX1 = x1 + 1;
    windowY1 = y1 + 1;
    imagerFlags |= kImagerClipWindow | kImagerWindowSet;
}

void Imager::normaliseWindow(const KtTexIndexer& texture) noexcept {
    Window w{texture.xAxis.start, texture.yAxis.start, texture.xAxis.start + texture.xAxis.size,
             texture.yAxis.start + texture.yAxis.size};
    if (imagerFlags & kImagerWindowSet)
        w = clipToTexture({windowX0, windowY0, windowX1, windowY1}, texture);
    windowX0 = w.x0;
    windowY0 = w.y0;
    windowX1 = w.x1;
    windowY1 = w.y1;
    const bool wholeTexture = w.x0 == 0 && w.y0 == 0 && w.x1 == targetWidth && w.y1 == targetHeight;
    if (wholeTexture) {
        imagerFlags &= static_cast<std::uint8_t>(~kImagerWindowSet);
    } else {
        imagerFlags |= kImagerWindowSet;
    }
}

KtRowBand Imager::threadRows() const noexcept {
    const bool threaded = (imagerFlags & kImagerNoThreads) == 0;
    const std::int32_t index = threaded ? threadIndex() : 0;
    const std::int32_t count = threaded ? threadCount() : 1;
    const bool windowed = (imagerFlags & kImagerWindowSet) != 0;

    // Clipping the shared window here and clearing its flag would have every thread of a run
    // write the same fields at once; clipping a copy gives the same rows without that race.
    Window w{windowX0, windowY0, windowX1, windowY1};
    if (windowed && (imagerFlags & kImagerClipWindow) && target != nullptr)
        w = clipToTexture(w, *target);

    const std::int32_t rows = windowed ? w.y1 - w.y0 : targetHeight;
    const std::int32_t step = fieldMode == 1 || fieldMode == 2 ? 2 : 1;
    if (rows <= 0) return {0, 0, step};
    // In 64 bits: count + rows - 1 passes 2^31 for pictures of nearly 2^31 rows, and so may the
    // first row of an empty band moved to the field's parity.
    const std::int64_t chunk = (std::int64_t{count} + rows - 1) / count;
    const std::int64_t offset = windowed ? w.y0 : 0;
    const std::int64_t start = std::min<std::int64_t>(index * chunk, rows);
    const std::int64_t end =
        index == count - 1 ? rows : std::min<std::int64_t>(start + chunk, rows);
    std::int64_t first = start + offset;
    const std::int64_t last = end + offset;
    // Parity is that of the absolute row number; `& 1` is right for negative rows too.
    if (fieldMode == 1 && (first & 1) != 0) ++first;
    if (fieldMode == 2 && (first & 1) == 0) ++first;
    return {static_cast<std::int32_t>(std::min(first, last)), static_cast<std::int32_t>(last),
            step};
}

KtColumnSpan Imager::columns() const noexcept {
    if (imagerFlags & kImagerWindowSet) return {windowX0, windowX1};
    return {0, targetWidth};
}

std::size_t Imager::windowPixels() const noexcept {
    const bool windowed = (imagerFlags & kImagerWindowSet) != 0;
    // In 64 bits: a window's corners may lie up to 2^32 apart, and two such sides multiply past
    // a signed 64-bit value.
    const std::int64_t columns =
        windowed ? std::int64_t{windowX1} - windowX0 : std::int64_t{targetWidth};
    const std::int64_t rows =
        windowed ? std::int64_t{windowY1} - windowY0 : std::int64_t{targetHeight};
    return columns > 0 && rows > 0 ? static_cast<std::size_t>(static_cast<std::uint64_t>(columns) *
                                                              static_cast<std::uint64_t>(rows))
                                   : 0;
}

}  // namespace pattix
