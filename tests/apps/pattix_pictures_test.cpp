// The built pattix run end to end: the pictures in its PNG files, at both depths, checked by
// their meaning (bar centres, strip rows, ramp ends, band edges, untouched zeros).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/apps/pattix_process.hpp"
#include "tests/apps/png_reader.hpp"

namespace pattix::testing {
namespace {

using ::testing::ElementsAreArray;

// File values of the levels the effect draws, by depth: full scale, 75% (191 of 255, 12288 of
// 16384), and the SMPTE/EIA sub-band colours of SMPTE EG 1.
struct Levels {
    std::uint16_t full;
    std::uint16_t threeQuarter;
    Rgba minusI;
    Rgba plusQ;
};
const Levels kEightBit{255, 191, {0, 18, 15, 255}, {17, 0, 67, 255}};
const Levels kSixteenBit{65535, 49151, {0, 4652, 3864, 65535}, {4388, 0, 17232, 65535}};

// The eight bars, left to right, as R, G, B switches.
constexpr std::array<std::array<int, 3>, 8> kBars = {{
    {1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},  // white, yellow, cyan, green
    {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0},  // magenta, red, blue, black
}};
// The SMPTE middle strip: blue, black, magenta, black, cyan, black, white, black.
constexpr std::array<int, 8> kReverseStrip = {6, 7, 4, 7, 2, 7, 0, 7};

// PAL: 720 columns make bars 90 wide.
constexpr int kWidth = 720;
constexpr int kHeight = 576;
constexpr int barCentre(int bar) { return bar * 90 + 45; }

class PattixPictures : public ::testing::TestWithParam<int> {
protected:
    int depth() const { return GetParam(); }
    const Levels& levels() const { return depth() == 8 ? kEightBit : kSixteenBit; }

    Rgba colour(int bar, std::uint16_t level) const {
        const auto& on = kBars[static_cast<std::size_t>(bar)];
        return {static_cast<std::uint16_t>(on[0] * level),
                static_cast<std::uint16_t>(on[1] * level),
                static_cast<std::uint16_t>(on[2] * level), levels().full};
    }

    // Renders with pattix into a PNG and decodes it.
    Picture render(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(),
                         {"--depth", std::to_string(depth()), "-o", "picture.png"});
        const RunResult run = runPattix(arguments, m_Folder.path());
        EXPECT_EQ(run.status, 0) << run.err;
        Picture picture = readPng((m_Folder / "picture.png").string());
        EXPECT_EQ(picture.bitDepth, depth());
        return picture;
    }

    TempFolder m_Folder;
};

INSTANTIATE_TEST_SUITE_P(Depths, PattixPictures, ::testing::Values(8, 16),
                         [](const auto& depth) { return std::to_string(depth.param) + "bit"; });

TEST_P(PattixPictures, TheCentreOfEveryBarHasItsColour) {
    struct Case {
        const char* pattern;
        std::uint16_t whiteLevel;
        std::uint16_t colourLevel;
    };
    const Case cases[] = {
        {"ebu", levels().full, levels().threeQuarter},
        {"75", levels().threeQuarter, levels().threeQuarter},
        {"100", levels().full, levels().full},
        {"eia", levels().threeQuarter, levels().threeQuarter},
        {"smpte", levels().threeQuarter, levels().threeQuarter},
    };
    for (const Case& c : cases) {
        const Picture picture = render({"-p", c.pattern});
        ASSERT_EQ(picture.width, kWidth);
        ASSERT_EQ(picture.height, kHeight);
        // Row 100 from the top lies in the main bars of every pattern.
        for (int bar = 0; bar < 8; ++bar) {
            EXPECT_THAT(picture.atRow(barCentre(bar), 100),
                        ElementsAreArray(colour(bar, bar == 0 ? c.whiteLevel : c.colourLevel)))
                << c.pattern << " bar " << bar;
        }
        // Past the eighth bar's start everything is black.
        EXPECT_THAT(picture.atRow(kWidth - 1, 100), ElementsAreArray(colour(7, 0))) << c.pattern;
    }
}

// Host rows r count from the bottom of the picture. At 576 rows the sub-band takes
// r <= 0.25 * 576 = 144, and the SMPTE middle strip r <= 0.3298611 * 576 = 189.99.
TEST_P(PattixPictures, SmpteAndEiaStripsBeginAtTheBottom) {
    const Rgba black = colour(7, 0);
    const std::array<Rgba, 8> subBand = {levels().minusI, colour(0, levels().full), levels().plusQ,
                                         black, black, black, black, black};
    const Picture smpte = render({"-p", "smpte"});
    for (int bar = 0; bar < 8; ++bar) {
        const int x = barCentre(bar);
        for (const int r : {0, 144}) {
            EXPECT_THAT(smpte.atHostRow(x, r), ElementsAreArray(subBand[bar]))
                << "bar " << bar << " r " << r;
        }
        for (const int r : {145, 189}) {
            EXPECT_THAT(smpte.atHostRow(x, r),
                        ElementsAreArray(colour(kReverseStrip[bar], levels().threeQuarter)))
                << "bar " << bar << " r " << r;
        }
        EXPECT_THAT(smpte.atHostRow(x, 190), ElementsAreArray(colour(bar, levels().threeQuarter)))
            << "bar " << bar;
    }
    const Picture eia = render({"-p", "eia"});
    for (int bar = 0; bar < 8; ++bar) {
        EXPECT_THAT(eia.atHostRow(barCentre(bar), 144), ElementsAreArray(subBand[bar])) << bar;
        EXPECT_THAT(eia.atHostRow(barCentre(bar), 145),
                    ElementsAreArray(colour(bar, levels().threeQuarter)))
            << bar;
    }
}

// A channel value of a ramp at position t of length L: trunc(F * t / L + 0.5), as a file value.
std::uint16_t rampValue(int depth, int t, int length) {
    if (depth == 8) return static_cast<std::uint16_t>(255.0 * t / length + 0.5);
    const int stored = static_cast<int>(16384.0 * t / length + 0.5);
    return static_cast<std::uint16_t>((stored * 65535 + 8192) / 16384);
}

TEST_P(PattixPictures, GreyRampEndsAndRgbRampBandsHorizontally) {
    const Picture grey = render({"-p", "grey-ramp"});
    for (const int x : {0, 1, 2, 360, 719}) {
        const std::uint16_t v = rampValue(depth(), x, kWidth);
        EXPECT_THAT(grey.atRow(x, 0), ElementsAreArray(Rgba{v, v, v, levels().full})) << x;
        EXPECT_EQ(grey.atRow(x, 575), grey.atRow(x, 0)) << x;
    }
    EXPECT_EQ(grey.atRow(0, 0)[0], 0);
    EXPECT_EQ(grey.atRow(719, 0)[0], depth() == 8 ? 255 : 65443);  // 16-bit ends at 16361

    // Bands of 192 rows from the bottom: red, green, blue.
    const Picture rgb = render({"-p", "rgb-ramp", "-d", "horizontal"});
    const std::uint16_t end = rampValue(depth(), 719, kWidth);
    const std::pair<int, Rgba> rows[] = {
        {0, {end, 0, 0, levels().full}},   {191, {end, 0, 0, levels().full}},
        {192, {0, end, 0, levels().full}}, {383, {0, end, 0, levels().full}},
        {384, {0, 0, end, levels().full}}, {575, {0, 0, end, levels().full}},
    };
    for (const auto& [r, want] : rows) {
        EXPECT_THAT(rgb.atHostRow(719, r), ElementsAreArray(want)) << "r " << r;
        EXPECT_EQ(rgb.atHostRow(0, r)[3], levels().full) << "r " << r;
    }
}

TEST_P(PattixPictures, RgbRampBandsAndEndsVertically) {
    // Bands of 240 columns: red, green, blue; each ramps up from the bottom row.
    const Picture rgb = render({"-p", "rgb-ramp", "-d", "vertical"});
    const std::uint16_t top = rampValue(depth(), 575, kHeight);
    const std::pair<int, int> columns[] = {{0, 0},   {239, 0}, {240, 1},
                                           {479, 1}, {480, 2}, {719, 2}};
    for (const auto& [x, channel] : columns) {
        Rgba want{0, 0, 0, levels().full};
        want[static_cast<std::size_t>(channel)] = top;
        EXPECT_THAT(rgb.atHostRow(x, 575), ElementsAreArray(want)) << x;
        EXPECT_THAT(rgb.atHostRow(x, 0), ElementsAreArray(Rgba{0, 0, 0, levels().full})) << x;
    }
    EXPECT_EQ(top, depth() == 8 ? 255 : 65423);
}

TEST_P(PattixPictures, CrossedRampsTurnBackInTheirSecondHalves) {
    // RGB crossed, horizontal: rows 0-95 red rising to the right, 96-191 red falling.
    const Picture rgb = render({"-p", "rgb-crossed-ramp"});
    const std::uint16_t end = rampValue(depth(), 719, kWidth);
    EXPECT_EQ(rgb.atHostRow(0, 95)[0], 0);
    EXPECT_EQ(rgb.atHostRow(719, 95)[0], end);
    EXPECT_EQ(rgb.atHostRow(0, 96)[0], end);
    EXPECT_EQ(rgb.atHostRow(719, 96)[0], 0);
    EXPECT_THAT(rgb.atHostRow(719, 192), ElementsAreArray(Rgba{0, end, 0, levels().full}));

    // Grey crossed, vertical: columns 0-359 rise from the bottom, 360-719 fall.
    const Picture grey = render({"-p", "grey-crossed-ramp", "-d", "vertical"});
    const std::uint16_t top = rampValue(depth(), 575, kHeight);
    EXPECT_EQ(grey.atHostRow(359, 0)[0], 0);
    EXPECT_EQ(grey.atHostRow(359, 575)[0], top);
    EXPECT_EQ(grey.atHostRow(360, 0)[0], top);
    EXPECT_EQ(grey.atHostRow(360, 575)[0], 0);
}

TEST_P(PattixPictures, RegionOfInterestLeavesTheRestZero) {
    // x 100-299 from the left, host rows 50-149 from the bottom.
    const Picture picture = render({"-p", "100", "--roi", "100,50,200,100"});
    int drawn = 0;
    for (int r = 0; r < kHeight; ++r) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgba pixel = picture.atHostRow(x, r);
            const bool inside = x >= 100 && x < 300 && r >= 50 && r < 150;
            if (inside) {
                ASSERT_EQ(pixel[3], levels().full) << x << "," << r;
                ++drawn;
            } else {
                ASSERT_EQ(pixel, (Rgba{0, 0, 0, 0})) << x << "," << r;
            }
        }
    }
    EXPECT_EQ(drawn, 200 * 100);
    EXPECT_THAT(picture.atHostRow(barCentre(2), 100), ElementsAreArray(colour(2, levels().full)));
}

TEST_P(PattixPictures, FieldsDrawEveryOtherRowCountedFromTheBottom) {
    for (const auto& [field, drawnParity] : {std::pair{"first", 0}, std::pair{"second", 1}}) {
        const Picture picture = render({"-p", "grey-ramp", "--field", field});
        for (int r = 0; r < kHeight; ++r) {
            const bool drawn = r % 2 == drawnParity;
            for (const int x : {0, 359, 719}) {
                const Rgba pixel = picture.atHostRow(x, r);
                if (drawn) {
                    ASSERT_EQ(pixel[3], levels().full) << field << " r " << r;
                    ASSERT_EQ(pixel[0], rampValue(depth(), x, kWidth)) << field << " r " << r;
                } else {
                    ASSERT_EQ(pixel, (Rgba{0, 0, 0, 0})) << field << " r " << r;
                }
            }
        }
    }
}

}  // namespace
}  // namespace pattix::testing
