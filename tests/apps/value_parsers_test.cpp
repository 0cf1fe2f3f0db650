// The command line's values: what is accepted, and the message for what is not.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "apps/host/errors.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/host/text.hpp"
#include "apps/host/value_parsers.hpp"
#include "apps/pattix/output_target.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix::cli {
namespace {

using namespace pattix::host;

using ::testing::HasSubstr;

// Runs `parse` on text that must be refused and answers the message.
template <class Parse>
std::string refusalOf(Parse parse) {
    try {
        parse();
    } catch (const UsageError& error) {
        return error.what();
    }
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(FrameSizes, PresetsAndWxHAreAccepted) {
    const std::pair<const char*, FrameSize> cases[] = {
        {"ntsc", {720, 486}},  {"PAL", {720, 576}},
        {"720p", {1280, 720}}, {"1080", {1920, 1080}},
        {"uhd", {3840, 2160}}, {"640x480", {640, 480}},
        {"1X1", {1, 1}},       {"2147483647x1", {2147483647, 1}}};
    for (const auto& [text, size] : cases) EXPECT_EQ(parseFrameSize(text), size) << text;
}

TEST(FrameSizes, RefusalsNameTheValueAndWhatIsAccepted) {
    const std::pair<const char*, const char*> cases[] = {
        {"0x576", "size '0x576' has no pixels"},
        {"720x0", "has no pixels"},
        {"-5x5", "has no pixels"},
        {"abc", "size 'abc' is not a size: give WxH such as 1920x1080, or ntsc, pal, 720p"},
        {"720x", "is not a size"},
        {"x576", "is not a size"},
        {"720x576x3", "is not a size"},
        {" 720x576", "is not a size"},
        {"+720x576", "is not a size"},
        {"3000000000x2", "too large"},
        {"99999999999999999999x2", "size '99999999999999999999x2' is too large"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_THAT(refusalOf([value = text] { parseFrameSize(value); }), HasSubstr(message))
            << text;
    }
    EXPECT_THAT(refusalOf([] { parseFrameSize("big", "world size"); }),
                HasSubstr("world size 'big' is not a size"));
}

TEST(FrameSizes, AFrameMustFitInMemory) {
    constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
    EXPECT_NO_THROW(requireFrameFits({3840, 2160}, 16, kGiB));
    EXPECT_EQ(frameBytes({3840, 2160}, 16), 3840ull * 2160 * 8);
    EXPECT_EQ(frameBytes({3840, 2160}, 8), 3840ull * 2160 * 4);
    EXPECT_THAT(refusalOf([&] {
                    requireFrameFits({100000, 100000}, 16, 24 * kGiB);
                }),
                HasSubstr("size 100000x100000 needs 74.5 GiB for one 16-bit frame, more than the "
                          "24.0 GiB of memory here"));
    // w * h * 8 no longer fits in 64 bits.
    EXPECT_EQ(frameBytes({2147483647, 2147483647}, 16), std::nullopt);
    // A row of 2 GiB or more does not fit the host's signed 32-bit row step, at any height.
    EXPECT_NO_THROW(requireFrameFits({536870911, 1}, 8, 24 * kGiB));
    EXPECT_NO_THROW(requireFrameFits({268435455, 1}, 16, 24 * kGiB));
    EXPECT_THAT(refusalOf([&] {
                    requireFrameFits({536870912, 1}, 8, 24 * kGiB);
                }),
                HasSubstr("size 536870912x1 is too wide at depth 8"));
    EXPECT_THAT(refusalOf([&] {
                    requireFrameFits({268435456, 1}, 16, 24 * kGiB);
                }),
                HasSubstr("a row holds at most 268435455 pixels"));
}

TEST(Regions, XYWidthHeightIsAccepted) {
    EXPECT_EQ(parseRegion("10,20,30,40"), (PixelRegion{10, 20, 30, 40}));
    EXPECT_EQ(parseRegion("-5,-6,7,8"), (PixelRegion{-5, -6, 7, 8}));
}

TEST(Regions, RefusalsNameTheValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"1,2,3", "region '1,2,3' is not a region: give X,Y,W,H"},
        {"1,2,3,4,5", "is not a region"},
        {"1,2,3,", "is not a region"},
        {"a,b,c,d", "is not a region"},
        {"", "is not a region"},
        {"1,2,0,4", "region '1,2,0,4' has no area"},
        {"1,2,3,-4", "has no area"},
        {"1,2,99999999999,4", "region '1,2,99999999999,4' has a number too large"},
        {"1,-99999999999,3,4", "has a number too large"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_THAT(refusalOf([value = text] { parseRegion(value); }), HasSubstr(message)) << text;
    }
}

TEST(Regions, AreClippedToThePicture) {
    const FrameSize pal{720, 576};
    EXPECT_EQ(clipRegion({10, 20, 30, 40}, pal), (PixelRegion{10, 20, 30, 40}));
    EXPECT_EQ(clipRegion({-10, -20, 30, 40}, pal), (PixelRegion{0, 0, 20, 20}));
    EXPECT_EQ(clipRegion({700, 570, 100, 100}, pal), (PixelRegion{700, 570, 20, 6}));
    EXPECT_EQ(clipRegion({100, 100, 2147483647, 2147483647}, pal),
              (PixelRegion{100, 100, 620, 476}));
    EXPECT_EQ(clipRegion({720, 0, 10, 10}, pal), std::nullopt);
    EXPECT_EQ(clipRegion({-10, 0, 10, 10}, pal), std::nullopt);
}

TEST(Choices, WordsAndNumbersMapToTheHostValues) {
    EXPECT_EQ(parseDepth("8"), 8);
    EXPECT_EQ(parseDepth("16"), 16);
    EXPECT_EQ(parseField("both"), DS_FIELD_FRAME);
    EXPECT_EQ(parseField("First"), DS_FIELD_FIRST);
    EXPECT_EQ(parseField("second"), DS_FIELD_SECOND);
    EXPECT_EQ(parseDirection("horizontal"), 0);
    EXPECT_EQ(parseDirection("VERTICAL"), 1);
    EXPECT_EQ(parseFrameCount("1"), 1);
    EXPECT_EQ(parseFrameCount("9000000000"), 9000000000);

    EXPECT_THAT(refusalOf([] { parseDepth("12"); }), HasSubstr("depth '12' is not one of: 8, 16"));
    EXPECT_THAT(refusalOf([] { parseField("odd"); }),
                HasSubstr("field 'odd' is not one of: both, first, second"));
    EXPECT_THAT(refusalOf([] { parseDirection("up"); }),
                HasSubstr("direction 'up' is not one of: horizontal, vertical"));
    for (const char* text : {"0", "-3", "many", "1.5", "-99999999999999999999"}) {
        EXPECT_THAT(refusalOf([&] { parseFrameCount(text); }), HasSubstr("is not a whole number"))
            << text;
    }
    EXPECT_THAT(refusalOf([] { parseFrameCount("99999999999999999999"); }),
                HasSubstr("frame count '99999999999999999999' is too large: at most "
                          "9223372036854775807"));
}

// What users and files supplied reaches the terminal as text, never as control sequences.
TEST(Quoting, ControlsAndBrokenUtf8AreShownLongValuesCut) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"Farbbalken \xC3\xBC \xE2\x82\xAC", "Farbbalken \xC3\xBC \xE2\x82\xAC"},  // u-umlaut, euro
        {"\x1b[2J\r\n\x7f", "\\x1B[2J\\x0D\\x0A\\x7F"},
        {"\xC2\x9B"
         "31m",
         "\\xC2\\x9B31m"},  // CSI as a UTF-8 C1 control
        {"\xC3(\xE2\x82\xF0\x9F\x98", "\\xC3(\\xE2\\x82\\xF0\\x9F\\x98"},
        {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong, surrogate
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(printable(text), shown) << text;
    EXPECT_EQ(quote("ab"), "'ab'");
    EXPECT_EQ(quote(std::string(199, 'a') + "\xC3\xBC" + "tail"),
              "'" + std::string(199, 'a') + "'...");
}

TEST(PatternNames, ShortNamesNumbersAndOwnNames) {
    const std::vector<std::string> own = {
        "EBU Bars", "75% Colour Bars", "100% Colour Bars", "EIA Colour Bars",  "SMPTE Colour Bars",
        "RGB Ramp", "Grey Ramp",       "RGB Crossed Ramp", "Grey Crossed Ramp"};
    for (int value = 0; value < kPatternCount; ++value) {
        EXPECT_EQ(resolvePattern(kPatternShortNames[value], own), value);
        EXPECT_EQ(resolvePattern(std::to_string(value), own), value);
        EXPECT_EQ(resolvePattern(own[value], own), value);
    }
    EXPECT_EQ(resolvePattern("smpte colour bars", own), 4);
    EXPECT_EQ(resolvePattern("75", own), 1);
    EXPECT_EQ(resolvePattern("100", own), 2);
    EXPECT_EQ(resolvePattern("SMPTE", own), 4);
    for (const char* text : {"9", "-1", "foo", "", "04"}) {
        EXPECT_THAT(refusalOf([&] { resolvePattern(text, own); }),
                    HasSubstr("unknown pattern '" + std::string(text) +
                              "': use ebu, 75, 100, eia, smpte, rgb-ramp"))
            << text;
    }
}

TEST(OutputTargets, KindFollowsThePath) {
    EXPECT_EQ(parseOutputTarget("-").kind, OutputKind::StandardOutput);
    EXPECT_EQ(parseOutputTarget("out/a.rgba").kind, OutputKind::RawFile);
    EXPECT_EQ(parseOutputTarget("a.PNG").kind, OutputKind::PngFile);
    const OutputTarget percent = parseOutputTarget("100%%.png");
    EXPECT_EQ(percent.kind, OutputKind::PngFile);
    EXPECT_EQ(frameFileName(percent, 3), "100%.png");
}

TEST(OutputTargets, SequencesNumberTheirFilesWithoutPrintf) {
    const std::tuple<const char*, std::int64_t, const char*> cases[] = {
        {"f%d.png", 7, "f7.png"},     {"f%04d.png", 12, "f0012.png"},
        {"f%3d.png", 7, "f  7.png"},  {"f%02d.png", 12345, "f12345.png"},
        {"%%%d%%.png", 5, "%5%.png"},
    };
    for (const auto& [path, frame, name] : cases) {
        const OutputTarget target = parseOutputTarget(path);
        EXPECT_EQ(target.kind, OutputKind::PngSequence) << path;
        EXPECT_EQ(frameFileName(target, frame), name) << path;
    }
}

TEST(OutputTargets, RefusalsNameThePath) {
    const std::pair<const char*, const char*> cases[] = {
        {"x.jpg", "output 'x.jpg' is not a .png or .rgba path, or - for standard output"},
        {"", "is not a .png or .rgba path"},
        {"f%s.png", "output 'f%s.png': '%' must begin a frame number"},
        {"f%.png", "must begin a frame number"},
        {"f%n.png", "must begin a frame number"},
        {"f%99d.png", "must begin a frame number"},
        {"f%d%d.png", "has more than one frame number"},
    };
    for (const auto& [path, message] : cases) {
        EXPECT_THAT(refusalOf([value = path] { parseOutputTarget(value); }), HasSubstr(message))
            << path;
    }
}

}  // namespace
}  // namespace pattix::cli
