// The worker framework: the interrupt record that workers poll, and the `Imager` state
// shared by every generator: the processing window, the field mode and the row band of a thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/image/texture.hpp"

namespace pattix {

// Owned by the caller (the effect keeps a 32-bit stop code right after it). The callback answers
// non-zero to ask for a stop; it receives the address just past this record, may be called from
// any worker thread at once, and may be null.
struct KtInterruptRecord {
    void* userData;
    int (*callback)(void* userData, void* pastRecord);
    std::int32_t aborted;
};

class KtInteruptable {
public:
    KtInterruptRecord* interrupt = nullptr;  // null: never stop

    KtInteruptable() noexcept = default;
    KtInteruptable(const KtInteruptable&) = delete;
    KtInteruptable& operator=(const KtInteruptable&) = delete;
    virtual ~KtInteruptable() = default;

    // Polls the record: true once a stop has been asked for. Safe on every worker thread at once;
    // `aborted` is the one field they share for writing.
    bool stopRequested() const noexcept;
};

enum KtImagerFlag : std::uint8_t {
    kImagerClipWindow = 1 << 0,  // the window must be clipped to the texture
    kImagerNoThreads = 1 << 2,   // run on the calling thread only
    kImagerWindowSet = 1 << 3,   // otherwise the whole texture
};

// The rows one thread draws: first, first + step, ... below last.
struct KtRowBand {
    std::int32_t first;
    std::int32_t last;
    std::int32_t step;

    std::int32_t rowCount() const noexcept {
        return first < last
                   ? static_cast<std::int32_t>((std::int64_t{last} - first + step - 1) / step)
                   : 0;
    }
};

// The rows of a band in the order their memory lies, so each thread walks memory sequentially:
// upward from `first` for a positive row step in bytes, downward from the band's last row for a
// negative one, as in the host's 16-bit buffers, which are written ~1.5 times faster in address
// order than against it.
struct KtRowWalk {
    std::int32_t start;
    std::int32_t step;
    std::int32_t count;

    KtRowWalk(const KtRowBand& band, std::int32_t rowBytes) noexcept
        : start(band.first), step(band.step), count(band.rowCount()) {
        if (rowBytes < 0 && count > 0) {
            start = band.first + (count - 1) * band.step;
            step = -band.step;
        }
    }
};

// The columns every thread draws: x0 to x1 - 1.
struct KtColumnSpan {
    std::int32_t x0;
    std::int32_t x1;
};

class Imager : public KtInteruptable {
public:
    std::uint8_t imagerFlags = 0;
    std::int32_t windowX0 = 0;
    std::int32_t windowY0 = 0;
    std::int32_t windowX1 = 0;  // one past the last column
    std::int32_t windowY1 = 0;  // one past the last row
    std::int32_t passCount = 1;
    std::int32_t pass = 0;
    // Kept for the framework's own processors; no generator reads them.
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    std::int32_t fieldMode = 0;  // 0 every row, 1 even rows, 2 odd rows
    KtTexIndexer* target = nullptr;
    std::int32_t targetWidth = 0;
    std::int32_t targetHeight = 0;

    // Inclusive corners.
    void setWindow(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) noexcept;
    void setFieldMode(std::int32_t mode) noexcept { fieldMode = mode; }

    // The rows of the calling thread's band, parity and step included.
    KtRowBand threadRows() const noexcept;
    KtColumnSpan columns() const noexcept;
    // Pixels of the window (the whole texture without one), over all threads.
    std::size_t windowPixels() const noexcept;

protected:
    // Clamps the window to the texture's coordinates (or takes the whole texture without one)
    // and records whether what remains is anything but the whole texture.
    void normaliseWindow(const KtTexIndexer& texture) noexcept;
};

}  // namespace pattix
