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
        const bool reverse = (rampFlags & kRampReverse) != 0;
        KtFrameRows frame =
            this->frameOf(*texture, (rampFlags & kRampOwnFrameSize) != 0, frameWidth, frameHeight,
                          (originFlags & kRampIgnoreOrigin) != 0);
        const Pixel black(0, 0, 0, lowBits<Pixel>(alphaValue));
        if (direction == kRampHorizontal) {
            this->walkRows(*texture, frame, black,
                           HorizontalPainter{*this, frame.width, frame.height, reverse, black});
        } else {
            frame.fromOtherEnd = reverse;
            const VerticalPainter painter = verticalPainter(frame, black);
            if (painter.fits) this->walkRows(*texture, frame, black, painter);
        }
    }

private:
    static constexpr Component kFull = Pixel::unitValue;  // full scale F, also the clamp limit

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
        if (s < 0 || s >= bandAxisLength) return {};
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

    // Pixel rule, step 4: the level of position p on a ramp of length L (0 <= p < L).
    static Component rampLevel(std::int32_t position, std::int32_t rampLength) noexcept {
        double level = static_cast<double>(kFull) * position / rampLength + 0.5;
        level = std::clamp(level, 0.0, static_cast<double>(kFull));
        return static_cast<Component>(level);
    }

    // Pixel rule, step 5: the level in the channels the band look lights.
    static Pixel levelPixel(const BandLook& look, Component value, Component alpha) noexcept {
        return Pixel(look.red ? value : Component{0}, look.green ? value : Component{0},
                     look.blue ? value : Component{0}, alpha);
    }

    // "Horizontal": every row of a band segment is the same, so the walk builds a row where the
    // band look changes and copies it to the segment's other rows.
    struct HorizontalPainter {
        const KtRampGenerator& generator;
        std::int32_t width;
        std::int32_t height;
        bool reverseBands;
        Pixel black;

        BandLook rowLook(std::int32_t r) const noexcept {
            return generator.lookAt(r, height, reverseBands);
        }

        void paint(const KtRunWriter& writer, Pixel* out, std::int32_t x0, std::int32_t x1,
                   std::int32_t r) const noexcept {
            const BandLook look = rowLook(r);
            if (look.black()) {
                writer.fill(out, x1 - x0, black);
            } else if (look.backwards) {
                // Columns x0.. hold positions L - 1 - x0 downward.
                writeRamp(out + (x1 - x0 - 1), -1, width - x1, x1 - x0, width, look, black.a);
            } else {
                writeRamp(out, 1, x0, x1 - x0, width, look, black.a);
            }
        }
    };

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
            *out = levelPixel(look, static_cast<Component>(std::min<std::int64_t>(level, kFull)),
                              alpha);
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
    // decreasing, so the frame holds at most 1 + 3 + 5 runs.
    static constexpr std::size_t kMaxColumnRuns = 9;

    // "Vertical": the band look depends on the column only, so the runs are found once per
    // thread; each row then fills each run with one colour. A row has only two levels, running
    // forwards or backwards, so they are worked out once per row rather than once per run.
    struct VerticalPainter {
        std::int32_t height;
        Pixel black;
        std::array<ColumnRun, kMaxColumnRuns> runs{};
        std::size_t runCount = 0;
        bool fits = true;

        void paint(const KtRunWriter& writer, Pixel* out, std::int32_t, std::int32_t,
                   std::int32_t r) const noexcept {
            const Component forward = rampLevel(r, height);
            const Component backward = rampLevel(height - r - 1, height);
            for (std::size_t run = 0; run < runCount; ++run) {
                const BandLook& look = runs[run].look;
                writer.fill(out, runs[run].length,
                            look.black()
                                ? black
                                : levelPixel(look, look.backwards ? backward : forward, black.a));
                out += runs[run].length;
            }
        }
    };

    // The runs of the frame's columns the calling thread draws.
    VerticalPainter verticalPainter(const KtFrameRows& frame, const Pixel& black) const noexcept {
        VerticalPainter painter{frame.height, black};
        const auto [x0, x1] = this->frameColumns(frame.width);
        for (std::int32_t x = x0; x < x1;) {
            const BandLook look = lookAt(x, frame.width, false);
            std::int32_t end = x + 1;
            while (end < x1 && lookAt(end, frame.width, false) == look) ++end;
            if (painter.runCount == kMaxColumnRuns) {
                painter.fits = false;  // beyond the bound above: cannot happen
                return painter;
            }
            painter.runs[painter.runCount++] = {end - x, look};
            x = end;
        }
        return painter;
    }
};

using KtRampGenerator8 = KtRampGenerator<Rgba8, WorkColour, 255>;
using KtRampGenerator16 = KtRampGenerator<Rgba16, WorkColour, 32767>;

}  // namespace pattix
