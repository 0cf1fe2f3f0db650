// `Generator<T>`: a worker that writes a whole picture into one texture, one band of rows per
// processor through the parallel runner. A pattern's picture is painted row by row inside a
// frame: the generator walks the rows of the calling thread's band in memory order, polls the
// stop before each row, works out where the frame lies and fills everything outside it; the
// pattern only paints the part of a row that lies inside the frame.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "plugin/image/imager.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/pixel_runs.hpp"

namespace pattix {

// The frame a pattern fills, in texture coordinates: columns 0 to width - 1 and rows originY to
// originY + height - 1. Frame row r counts up from the frame's first row, or with fromOtherEnd
// down from its last.
struct KtFrameRows {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t originY = 0;
    bool fromOtherEnd = false;
};

// What a pattern hands the walk:
//   paint(const KtRunWriter& writer, Pixel* out, std::int32_t x0, std::int32_t x1,
//         std::int32_t r): paints columns x0 to x1 - 1 (all inside the frame, never none) of
//   frame row r through `writer`, `out` pointing at column x0.
// and, when whole runs of rows are the same picture, optionally
//   rowLook(std::int32_t r): something comparable that is equal for rows painted alike; each
//   such row after the first of its run is then copied from that first row.
template <class Painter, class Pixel>
concept KtRowPainter = requires(const Painter& painter, const KtRunWriter& writer, Pixel* out,
                                std::int32_t n) {
    painter.paint(writer, out, n, n, n);
};
template <class Painter>
concept KtRowsRepeat = requires(const Painter& painter, std::int32_t r) {
    { painter.rowLook(r) == painter.rowLook(r) } -> std::convertible_to<bool>;
};

template <class T>
class Generator : public Imager {
public:
    using TextureType = T;
    using Pixel = typename T::PixelType;

    // Called once before the passes, per thread in every pass, and once after the passes (also
    // after a stop). The defaults do nothing.
    virtual void begin(T* /*texture*/) noexcept {}
    virtual void generate(T* /*texture*/) noexcept {}
    virtual void end(T* /*texture*/) noexcept {}

    void process(T* texture) noexcept {
        if (texture == nullptr) {
            std::fputs("Map passed into Generator::process is NULL\n", stderr);
            return;
        }
        if (texture->width() < 1 || texture->height() < 1 || texture->data == nullptr) {
            std::fputs("Map passed into Generator::process is bogus\n", stderr);
            return;
        }
        target = texture;
        targetWidth = texture->width();
        targetHeight = texture->height();
        normaliseWindow(*texture);

        begin(texture);
        for (pass = 0; pass < passCount; ++pass) {
            if (stopRequested()) break;
            if (imagerFlags & kImagerNoThreads) {
                generate(texture);
            } else {
                runParallel(windowPixels() * sizeof(Pixel), &Generator::generateJob, 2, this,
                            texture);
            }
        }
        end(texture);
    }

protected:
    // The frame of the texture's size, or of the pattern's own, whose row 0 lies at the
    // texture's y origin, or at row 0 for a pattern that ignores the origin.
    static KtFrameRows frameOf(const T& texture, bool ownSize, std::int32_t width,
                               std::int32_t height, bool ignoreOrigin) noexcept {
        KtFrameRows frame;
        frame.width = ownSize ? width : texture.width();
        frame.height = ownSize ? height : texture.height();
        frame.originY = ignoreOrigin ? 0 : static_cast<std::int32_t>(texture.yAxis.origin);
        return frame;
    }

    // The columns of the window that lie inside a frame of the given width.
    KtColumnSpan frameColumns(std::int32_t frameWidth) const noexcept {
        const KtColumnSpan span = columns();
        const std::int32_t x0 = std::clamp(0, span.x0, span.x1);
        return {x0, std::clamp(frameWidth, x0, span.x1)};
    }

    // Paints the calling thread's band: pixels outside the frame become `outside`.
    template <class Painter>
    requires KtRowPainter<Painter, Pixel>
    void walkRows(const T& texture, const KtFrameRows& frame, const Pixel& outside,
                  const Painter& painter) const noexcept {
        const KtRowBand band = threadRows();
        const KtColumnSpan span = columns();
        if (band.first >= band.last || span.x0 >= span.x1) return;
        const std::int32_t spanWidth = span.x1 - span.x0;
        const KtColumnSpan inside = frameColumns(frame.width);
        const std::int32_t inside0 = inside.x0;
        const std::int32_t inside1 = inside.x1;
        const KtRunWriter writer(windowPixels() * sizeof(Pixel));

        // Rows one after another in memory with nothing between them: a run of alike rows can
        // then be written as its first row repeated in one copy, where the writer repeats rows.
        const std::size_t rowBytes = static_cast<std::size_t>(spanWidth) * sizeof(Pixel);
        const KtRowWalk walk(band, texture.rowBytes);
        const bool rowsRepeat =
            writer.repeatsRows() && (walk.step == 1 || walk.step == -1) &&
            rowBytes == static_cast<std::size_t>(std::abs(std::int64_t{texture.rowBytes}));
        auto frameRow = [&frame](std::int32_t y) {
            const std::int32_t r = y - frame.originY;
            return frame.fromOtherEnd ? frame.height - 1 - r : r;
        };

        // Copies read the run's first row, not the row just written: a line still on its way
        // out of the core is slower to read back.
        const Pixel* runRow = nullptr;
        decltype(rowLookOf(painter, 0)) runLook{};

        for (std::int32_t visited = 0, y = walk.start; visited < walk.count;
             ++visited, y += walk.step) {
            if (stopRequested()) return;
            Pixel* const row = texture.pixelAt(span.x0, y);
            const std::int32_t r = frameRow(y);
            if (r < 0 || r >= frame.height) {
                writer.fill(row, spanWidth, outside);
                continue;
            }
            std::int32_t alike = 0;  // rows after this one to repeat it over in one copy
            if constexpr (KtRowsRepeat<Painter>) {
                const auto look = painter.rowLook(r);
                if (runRow != nullptr && look == runLook) {
                    writer.copy(row, runRow, spanWidth);
                    continue;
                }
                runRow = row;
                runLook = look;
                if (rowsRepeat) {
                    for (std::int32_t next = y + walk.step; visited + alike + 1 < walk.count;
                         next += walk.step, ++alike) {
                        const std::int32_t nextR = frameRow(next);
                        if (nextR < 0 || nextR >= frame.height || !(painter.rowLook(nextR) == look))
                            break;
                    }
                    if (!writer.repeats(rowBytes, alike)) alike = 0;
                }
            }
            writer.fill(row, inside0 - span.x0, outside);
            if (inside0 < inside1)
                painter.paint(writer, row + (inside0 - span.x0), inside0, inside1, r);
            writer.fill(row + (inside1 - span.x0), span.x1 - inside1, outside);
            if (alike > 0) {
                // Each repeated row is polled for before the copy, as it would be before its own
                // write; a stop ends the copy at the first row it was asked before.
                std::int32_t allowed = 0;
                while (allowed < alike && !stopRequested()) ++allowed;
                writer.repeatRow(row, rowBytes, allowed);
                if (allowed < alike) return;
                visited += alike;
                y += alike * walk.step;
            }
        }
    }

private:
    static void generateJob(void* self, void* texture, void*, void*, void*, void*) {
        static_cast<Generator*>(self)->generate(static_cast<T*>(texture));
    }

    template <class Painter>
    static auto rowLookOf(const Painter& painter, std::int32_t r) noexcept {
        if constexpr (KtRowsRepeat<Painter>) {
            return painter.rowLook(r);
        } else {
            return 0;
        }
    }
};

}  // namespace pattix
