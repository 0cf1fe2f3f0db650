// The ramp generator: "RGB Ramp", "Grey Ramp", "RGB Crossed Ramp" and
// "Grey Crossed Ramp", "Horizontal" or "Vertical", one template for 8-bit and 16-bit pixels.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "plugin/image/generator.hpp"
#include "plugin/image/pixel_runs.hpp"
#include "plugin/image/pixel_types.hpp"
#include "plugin/image/texture.hpp"

namespace pattix {

enum KtRampType : std::int32_t {
    kRgbRamp = 0,
    kGreyRamp = 1,
    kRgbCrossedRamp = 2,
    kGreyCrossedRamp = 3,
};

enum KtRampDirection : std::int32_t {
    kRampHorizontal = 0,  // the ramp runs along the columns, bands stacked along the rows
    kRampVertical = 1,    // the ramp runs along the rows, bands side by side along the columns
};

enum KtRampFlag : std::uint8_t {
    kRampReverse = 1 << 0,  // Horizontal: band order reversed; Vertical: rows from the other end
    kRampOwnFrameSize = 1 << 1,  // frameWidth/frameHeight instead of the texture's size
};

enum KtRampOriginFlag : std::uint8_t {
    kRampIgnoreOrigin = 1 << 0,  // the texture's y origin is taken as 0
};

template <class Pixel, class WorkColour, int Max>
class KtRampGenerator : public Generator<KtTexture<Pixel, WorkColour>> {
  public:
    using Texture = KtTexture<Pixel, WorkColour>;
    using Component = typename Pixel::Component;
    static_assert(Max == Pixel::maxValue, "Max is the pixel type's largest component value");

    std::int32_t rampType = kRgbRamp;
    std::int32_t alphaValue = Pixel::unitValue;
    std::int32_t direction = kRampHorizontal;
    std::uint8_t rampFlags = 0;
    std::int32_t frameWidth = 0;
    std::int32_t frameHeight = 0;
    std::uint8_t originFlags = 0;

    void generate(Texture* texture) noexcept override {
        const KtRowBand band = this->threadRows();
        const KtColumnSpan span = this->columns();
        if (band.first >= band.last || span.x0 >= span.x1)
            return;

        const bool ownSize = (rampFlags & kRampOwnFrameSize) != 0;
        Frame frame;
        frame.width = ownSize ? frameWidth : texture->width();
        frame.height = ownSize ? frameHeight : texture->height();
        frame.originY = (originFlags & kRampIgnoreOrigin)
                            ? 0
                            : static_cast<std::int32_t>(texture->yAxis.origin);
        frame.black = Pixel(0, 0, 0, lowBits<Pixel>(alphaValue));

        const KtRunWriter writer(this->windowPixels() * sizeof(Pixel));
        if (direction == kRampHorizontal) {
            generateHorizontal(*texture, band, span, frame, writer);
        } else {
            generateVertical(*texture, band, span, frame, writer);
        }
    }

  private:
    static constexpr Component kFull = Pixel::unitValue;  // full scale F, also the clamp limit

    struct Frame {
        std::int32_t width;
        std::int32_t height;
        std::int32_t originY;
        Pixel black;
    };

    // What the pixel rule gives along one line of the band axis: which channels ramp (none:
    // black) and whether the ramp runs backwards.
    struct BandLook {
        bool red = false;
        bool green = false;
        bool blue = false;
        bool backwards = false;

        bool black() const noexcept { return !red && !green && !blue; }
        friend bool operator==(const BandLook&, const BandLook&) = default;
    };

    static BandLook channelsOfBand(std::int32_t b) noexcept {
        BandLook look;
        look.red = b == 0;
        look.green = b == 1;
        look.blue = b == 2;
        return look;
    }

    // Pixel rule, step 2, for band coordinate s on an axis of length S. The band lengths are
    // single-precision like the original's; the crossed RGB band quotient is double precision
    // and, unlike the others, its divisor is not raised to 1.
    BandLook lookAt(std::int32_t s, std::int32_t bandAxisLength, bool reverseBands) const noexcept {
        if (s < 0 || s >= bandAxisLength)
            return {};
        const float length = static_cast<float>(bandAxisLength);
        const float sf = static_cast<float>(s);
        switch (rampType) {
            case kRgbRamp: {
                const auto b = static_cast<std::int32_t>(sf / std::max(length / 3.0f, 1.0f));
                return channelsOfBand(reverseBands ? 2 - b : b);
            }
            case kGreyRamp:
                return {true, true, true, false};
            case kRgbCrossedRamp: {
                const auto b = static_cast<std::int32_t>(static_cast<double>(s) /
                                                         static_cast<double>(length / 3.0f));
                const auto u = static_cast<std::int32_t>(sf / std::max(length / 6.0f, 1.0f));
                BandLook look = channelsOfBand(reverseBands ? 2 - b : b);
                look.backwards = (u & 1) != 0;
                return look;
            }
            case kGreyCrossedRamp: {
                const auto u = static_cast<std::int32_t>(sf / std::max(length / 2.0f, 1.0f));
                return {true, true, true, (u & 1) != 0};
            }
            default:
                return {};
        }
    }

    // Pixel rule, steps 3-5, for ramp position t on a ramp of length L (0 <= t < L).
    Pixel rampPixel(const BandLook& look, std::int32_t t, std::int32_t rampLength,
                    const Pixel& black) const noexcept {
        if (look.black())
            return black;
        const std::int32_t position = look.backwards ? rampLength - t - 1 : t;
        double level = static_cast<double>(kFull) * position / rampLength + 0.5;
        level = std::clamp(level, 0.0, static_cast<double>(kFull));
        const auto value = static_cast<Component>(level);
        return Pixel(look.red ? value : Component{0}, look.green ? value : Component{0},
                     look.blue ? value : Component{0}, black.a);
    }

    // "Horizontal": every row of a band segment is the same, so the thread walks its rows in
    // memory order (a walk down each column would stride across memory), builds a row where the
    // band look changes and copies it to the segment's other rows.
    void generateHorizontal(const Texture& texture, const KtRowBand& band, const KtColumnSpan& span,
                            const Frame& frame, const KtRunWriter& writer) const noexcept {
        const bool reverseBands = (rampFlags & kRampReverse) != 0;
        const std::int32_t spanWidth = span.x1 - span.x0;
        // Copies read the segment's first row, not the row just written: a line still on its
        // way out of the core is slower to read back.
        const Pixel* segmentRow = nullptr;
        BandLook segmentLook;
        const KtRowWalk walk(band, texture.rowBytes);
        for (std::int32_t visited = 0, y = walk.start; visited < walk.count;
             ++visited, y += walk.step) {
            if (this->stopRequested())
                return;
            Pixel* const row = texture.pixelAt(span.x0, y);
            const BandLook look = lookAt(y - frame.originY, frame.height, reverseBands);
            if (segmentRow != nullptr && look == segmentLook) {
                writer.copy(row, segmentRow, spanWidth);
            } else {
                buildHorizontalRow(row, span, look, frame, writer);
                segmentRow = row;
                segmentLook = look;
            }
        }
    }

    void buildHorizontalRow(Pixel* row, const KtColumnSpan& span, const BandLook& look,
                            const Frame& frame, const KtRunWriter& writer) const noexcept {
        const std::int32_t rampStart = std::clamp(0, span.x0, span.x1);
        const std::int32_t rampEnd = std::clamp(frame.width, rampStart, span.x1);
        if (look.black()) {
            writer.fill(row, span.x1 - span.x0, frame.black);
            return;
        }
        writer.fill(row, rampStart - span.x0, frame.black);
        const std::int32_t count = rampEnd - rampStart;
        if (count > 0) {
            Pixel* const first = row + (rampStart - span.x0);
            if (look.backwards) {
                // Columns rampStart.. hold positions L - 1 - rampStart downward.
                writeRamp(first + (count - 1), -1, frame.width - rampEnd, count, frame.width, look,
                          frame.black.a);
            } else {
                writeRamp(first, 1, rampStart, count, frame.width, look, frame.black.a);
            }
        }
        writer.fill(row + (rampEnd - span.x0), span.x1 - rampEnd, frame.black);
    }

    // Writes the ramp levels of positions p0, p0 + 1, ... (count of them, on a ramp of length L)
    // to out, out + step, ...
    //
    // The level trunc(F x p / L + 0.5) of step 4 equals floor((2 F p + L) / 2L) exactly: F x p / L
    // is a correctly rounded division of integers, off by less than 1e-11, while the exact value
    // (2 F p + L) / 2L is either an integer, which the double computes without error, or at
    // least 1 / 2L away from one. So the levels of a row come from integer steps, with no
    // division per pixel.
    static void writeRamp(Pixel* out, std::ptrdiff_t step, std::int32_t p0, std::int32_t count,
                          std::int32_t rampLength, const BandLook& look, Component alpha) noexcept {
        const std::int64_t denominator = 2 * static_cast<std::int64_t>(rampLength);
        const std::int64_t numerator = 2 * static_cast<std::int64_t>(kFull) * p0 + rampLength;
        std::int64_t level = numerator / denominator;
        std::int64_t remainder = numerator % denominator;
        const std::int64_t increment = 2 * static_cast<std::int64_t>(kFull);
        const std::int64_t levelStep = increment / denominator;
        const std::int64_t remainderStep = increment % denominator;
        for (std::int32_t i = 0; i < count; ++i, out += step) {
            const auto value = static_cast<Component>(std::min<std::int64_t>(level, kFull));
            *out = Pixel(look.red ? value : Component{0}, look.green ? value : Component{0},
                         look.blue ? value : Component{0}, alpha);
            level += levelStep;
            remainder += remainderStep;
            if (remainder >= denominator) {
                remainder -= denominator;
                ++level;
            }
        }
    }

    // A run of columns that share one band look in "Vertical" mode.
    struct ColumnRun {
        std::int32_t length;
        BandLook look;
    };
    // Along s the band index b takes at most four values and u at most six, both never
    // decreasing, so the frame holds at most 1 + 3 + 5 runs; with the runs left and right of the
    // frame a row has at most 11.
    static constexpr std::size_t kMaxColumnRuns = 11;

    // "Vertical": the band look depends on the column only, so the runs are found once per
    // thread; each row then fills each run with one colour.
    void generateVertical(const Texture& texture, const KtRowBand& band, const KtColumnSpan& span,
                          const Frame& frame, const KtRunWriter& writer) const noexcept {
        std::array<ColumnRun, kMaxColumnRuns> runs{};
        std::size_t runCount = 0;
        for (std::int32_t x = span.x0; x < span.x1;) {
            const BandLook look = lookAt(x, frame.width, false);
            std::int32_t end = x + 1;
            while (end < span.x1 && lookAt(end, frame.width, false) == look)
                ++end;
            if (runCount == kMaxColumnRuns)
                return;  // beyond the bound above: cannot happen
            runs[runCount++] = {end - x, look};
            x = end;
        }

        const bool fromOtherEnd = (rampFlags & kRampReverse) != 0;
        const std::int32_t spanWidth = span.x1 - span.x0;
        const KtRowWalk walk(band, texture.rowBytes);
        for (std::int32_t visited = 0, y = walk.start; visited < walk.count;
             ++visited, y += walk.step) {
            if (this->stopRequested())
                return;
            Pixel* out = texture.pixelAt(span.x0, y);
            std::int32_t t = y - frame.originY;
            if (fromOtherEnd)
                t = frame.height - t - 1;
            if (t < 0 || t >= frame.height) {
                writer.fill(out, spanWidth, frame.black);
                continue;
            }
            for (std::size_t run = 0; run < runCount; ++run) {
                writer.fill(out, runs[run].length,
                            rampPixel(runs[run].look, t, frame.height, frame.black));
                out += runs[run].length;
            }
        }
    }
};

using KtRampGenerator8 = KtRampGenerator<Rgba8, WorkColour, 255>;
using KtRampGenerator16 = KtRampGenerator<Rgba16, WorkColour, 32767>;

}  // namespace pattix
