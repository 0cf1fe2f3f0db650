// The colour-bar generator: "EBU Bars", "75% Colour Bars", "100% Colour Bars",
// "EIA Colour Bars" and "SMPTE Colour Bars", one template for 8-bit and 16-bit pixels.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "plugin/image/generator.hpp"
#include "plugin/image/pixel_runs.hpp"
#include "plugin/image/pixel_types.hpp"
#include "plugin/image/texture.hpp"

namespace pattix {

// The sub-band levels of the EIA and SMPTE bottom rows are written as they stand, not scaled:
// they are given per depth, and a depth without them does not compile.
template <class Pixel>
struct KtColBarLevels;

template <>
struct KtColBarLevels<Rgba8> {
    static constexpr std::array<unsigned char, 3> minusI{0, 18, 15};
    static constexpr std::array<unsigned char, 3> plusQ{17, 0, 67};
};

template <>
struct KtColBarLevels<Rgba16> {
    static constexpr std::array<short, 3> minusI{0, 1163, 966};
    static constexpr std::array<short, 3> plusQ{1097, 0, 4308};
};

enum KtBarFlag : std::uint8_t {
    kBarsCountFromTop = 1 << 0,  // r counts downward from the top row of the frame
    kBarsIgnoreOrigin = 1 << 1,  // the texture's y origin is taken as 0
    kBarsOwnFrameSize = 1 << 2,  // frameWidth/frameHeight instead of the texture's size
};

enum KtBarPattern : std::int32_t {
    kEbuBars = 0,
    kBars75 = 1,
    kBars100 = 2,
    kEiaBars = 3,
    kSmpteBars = 4,
};

template <class Pixel, class WorkColour, int Max>
class KtColBarGenerator : public Generator<KtTexture<Pixel, WorkColour>> {
public:
    using Texture = KtTexture<Pixel, WorkColour>;
    using Component = typename Pixel::Component;
    static_assert(Max == Pixel::maxValue, "Max is the pixel type's largest component value");

    std::int32_t pattern = kEbuBars;
    std::int32_t alphaValue = Pixel::unitValue;
    std::uint8_t barFlags = 0;
    std::int32_t frameWidth = 0;
    std::int32_t frameHeight = 0;

    void generate(Texture* texture) noexcept override {
        KtFrameRows frame = this->frameOf(*texture, (barFlags & kBarsOwnFrameSize) != 0, frameWidth,
                                          frameHeight, (barFlags & kBarsIgnoreOrigin) != 0);
        frame.fromOtherEnd = (barFlags & kBarsCountFromTop) != 0;

        BarPainter painter{*this, makePalettes(),
                           // Single-precision constants widened to double and scaled by H,
                           // compared with integer r.
                           static_cast<double>(0.25f) * frame.height,
                           static_cast<double>(0.3298611f) * frame.height};
        painter.layRuns(this->frameColumns(frame.width), frame.width);
        this->walkRows(*texture, frame, Pixel{}, painter);
    }

private:
    // Bars 0-6 have colours; bar 7, and any remainder run on the right (k >= 8), are black.
    static constexpr std::int32_t kBlackBar = 7;
    using Palette = std::array<Pixel, kBlackBar + 1>;

    struct Palettes {
        Palette main;     // the pattern's main bars
        Palette reverse;  // SMPTE middle strip
        Palette subBand;  // EIA and SMPTE bottom rows
    };

    struct Run {
        std::int32_t bar;
        std::int32_t length;
    };

    // The bar runs of a row are the same for every row: laid once per thread. Bars 0 to 6 are
    // W / 8 columns each from column 0 (at least 1); bar 7 runs on to the frame's edge.
    struct BarPainter {
        const KtColBarGenerator& generator;
        Palettes palettes;
        double subBandTop;
        double reverseTop;
        std::array<Run, kBlackBar + 1> runs{};
        std::int32_t runCount = 0;

        void layRuns(KtColumnSpan inside, std::int32_t width) noexcept {
            std::int32_t barWidth = static_cast<std::int32_t>(width * 0.125);
            if (barWidth <= 1) barWidth = 1;
            std::int32_t bar = inside.x0 / barWidth;
            for (std::int32_t x = inside.x0; x < inside.x1; ++bar) {
                const std::int32_t runEnd =
                    bar >= kBlackBar ? inside.x1 : std::min((bar + 1) * barWidth, inside.x1);
                runs[runCount++] = {std::min(bar, kBlackBar), runEnd - x};
                x = runEnd;
            }
        }

        // Rows painted from one palette are alike. Rows without one are left as they were, so
        // none is ever copied over another.
        struct RowLook {
            const Palette* palette = nullptr;
            friend bool operator==(const RowLook& a, const RowLook& b) noexcept {
                return a.palette != nullptr && a.palette == b.palette;
            }
        };
        RowLook rowLook(std::int32_t r) const noexcept {
            return {generator.paletteForRow(palettes, r, subBandTop, reverseTop)};
        }

        void paint(const KtRunWriter& writer, Pixel* out, std::int32_t, std::int32_t,
                   std::int32_t r) const noexcept {
            const Palette* palette = rowLook(r).palette;
            if (palette == nullptr) return;
            for (std::int32_t i = 0; i < runCount; ++i) {
                writer.fill(out, runs[i].length, (*palette)[runs[i].bar]);
                out += runs[i].length;
            }
        }
    };

    const Palette* paletteForRow(const Palettes& palettes, std::int32_t r, double subBandTop,
                                 double reverseTop) const noexcept {
        switch (pattern) {
            case kEbuBars:
            case kBars75:
            case kBars100:
                return &palettes.main;
            case kEiaBars:
                return r <= subBandTop ? &palettes.subBand : &palettes.main;
            case kSmpteBars:
                if (r <= subBandTop) return &palettes.subBand;
                return r <= reverseTop ? &palettes.reverse : &palettes.main;
            default:
                return nullptr;  // an unknown pattern leaves the frame's pixels as they were
        }
    }

    Palettes makePalettes() const noexcept {
        constexpr Component full = Pixel::unitValue;
        // 75% of full scale, truncated: 191 for 8-bit, 12288 for 16-bit.
        constexpr auto threeQuarters = static_cast<Component>(Pixel::unitValue * 0.75);
        const Component alpha = lowBits<Pixel>(alphaValue);
        auto colour = [alpha](Component level, bool red, bool green, bool blue) {
            return Pixel(red ? level : Component{0}, green ? level : Component{0},
                         blue ? level : Component{0}, alpha);
        };
        // Bars 0-7 in order: white, yellow, cyan, green, magenta, red, blue, black.
        static constexpr bool kRed[] = {true, true, false, false, true, true, false, false};
        static constexpr bool kGreen[] = {true, true, true, true, false, false, false, false};
        static constexpr bool kBlue[] = {true, false, true, false, true, false, true, false};

        Palettes palettes;
        for (std::int32_t k = 0; k <= kBlackBar; ++k) {
            Component level = threeQuarters;
            if (pattern == kBars100 || (pattern == kEbuBars && k == 0)) level = full;
            palettes.main[k] = colour(level, kRed[k], kGreen[k], kBlue[k]);
        }

        // SMPTE middle strip: blue, black, magenta, black, cyan, black, white, black, at 75%.
        static constexpr std::int32_t kReverseBars[] = {6, 7, 4, 7, 2, 7, 0, 7};
        for (std::int32_t k = 0; k <= kBlackBar; ++k) {
            const std::int32_t source = kReverseBars[k];
            palettes.reverse[k] =
                colour(threeQuarters, kRed[source], kGreen[source], kBlue[source]);
        }

        using Levels = KtColBarLevels<Pixel>;
        palettes.subBand.fill(colour(0, false, false, false));
        palettes.subBand[0] =
            Pixel(Levels::minusI[0], Levels::minusI[1], Levels::minusI[2], alpha);  // -I
        palettes.subBand[1] = colour(full, true, true, true);                       // white
        palettes.subBand[2] =
            Pixel(Levels::plusQ[0], Levels::plusQ[1], Levels::plusQ[2], alpha);  // +Q
        return palettes;
    }
};

using KtColBarGenerator8 = KtColBarGenerator<Rgba8, WorkColour, 255>;
using KtColBarGenerator16 = KtColBarGenerator<Rgba16, WorkColour, 32767>;

}  // namespace pattix
