// Whole-frame references: every line of frame_checksums.txt is one picture (pattern, direction,
// depth, size, field, region, row order, origin, flags) and the SHA-256 of its pixel bytes. The
// frames are drawn on the calling thread and on three threads; both must give the listed sum.
//
// The sums were taken from generators that pass the pixel-rule references of
// col_bar_generator_tests.cpp and ramp_generator_tests.cpp. After a deliberate change to a
// picture, regenerate the table (keeping its cases) and review the diff:
//   PATTIX_WRITE_CHECKSUMS=tests/image/frame_checksums.txt
//     build/test/bin/image_tests --gtest_filter='FrameChecksums.*'
// (one command line).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "tests/image/canvas.hpp"
#include "tests/support/sha256.hpp"

namespace pattix {
namespace {

struct Case {
    std::string line;  // as written, without its sum
    std::string pattern, direction, field, region, order, flags;
    int depth = 8, width = 0, height = 0;
    float originY = 0.0f;
    std::string sum;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

bool hasFlag(const Case& c, const std::string& name) {
    for (const std::string& flag : split(c.flags, ','))
        if (flag == name || flag.starts_with(name + "=")) return true;
    return false;
}

// The value of flag "name=W,H" (own frame size).
std::pair<int, int> sizeFlag(const Case& c, const std::string& name) {
    for (const std::string& flag : split(c.flags, ','))
        if (flag.starts_with(name + "=")) {
            const auto wh = split(flag.substr(name.size() + 1), 'x');
            return {std::stoi(wh.at(0)), std::stoi(wh.at(1))};
        }
    return {0, 0};
}

// The value of flag "name=N", or 0.
int numberFlag(const Case& c, const std::string& name) {
    for (const std::string& flag : split(c.flags, ','))
        if (flag.starts_with(name + "=")) return std::stoi(flag.substr(name.size() + 1));
    return 0;
}

template <class Pixel>
std::vector<unsigned char> drawFrame(const Case& c, bool threads) {
    using namespace test;
    constexpr bool narrow = sizeof(Pixel) == sizeof(Rgba8);
    Canvas<Pixel> canvas(c.width, c.height,
                         c.order == "top" ? RowOrder::BottomUp : RowOrder::TopDown,
                         rgba<Pixel>(7, 7, 7, 7));
    canvas.texture.setOrigin(0.0f, c.originY);
    // Rows below 0: the field's parity is that of negative row numbers too.
    canvas.texture.yAxis.start = numberFlag(c, "ystart");
    auto configure = [&](auto& generator) {
        if (!threads) generator.imagerFlags |= kImagerNoThreads;
        generator.setFieldMode(c.field == "first" ? 1 : c.field == "second" ? 2 : 0);
        if (c.region != "-") {
            const auto r = split(c.region, ',');
            const int x = std::stoi(r.at(0)), y = std::stoi(r.at(1));
            generator.setWindow(x, y, x + std::stoi(r.at(2)) - 1, y + std::stoi(r.at(3)) - 1);
        }
        generator.process(&canvas.texture);
    };
    static const std::vector<std::string> kBars = {"ebu", "bars75", "bars100", "eia", "smpte"};
    static const std::vector<std::string> kRamps = {"rgb-ramp", "grey-ramp", "rgb-crossed",
                                                    "grey-crossed"};
    const auto [ownWidth, ownHeight] = sizeFlag(c, "own");
    for (std::size_t i = 0; i < kBars.size(); ++i) {
        if (kBars[i] != c.pattern) continue;
        std::conditional_t<narrow, KtColBarGenerator8, KtColBarGenerator16> bars;
        bars.pattern = static_cast<std::int32_t>(i);
        bars.barFlags = static_cast<std::uint8_t>((hasFlag(c, "fromtop") ? kBarsCountFromTop : 0) |
                                                  (hasFlag(c, "noorigin") ? kBarsIgnoreOrigin : 0) |
                                                  (hasFlag(c, "own") ? kBarsOwnFrameSize : 0));
        bars.frameWidth = ownWidth;
        bars.frameHeight = ownHeight;
        configure(bars);
    }
    for (std::size_t i = 0; i < kRamps.size(); ++i) {
        if (kRamps[i] != c.pattern) continue;
        std::conditional_t<narrow, KtRampGenerator8, KtRampGenerator16> ramp;
        ramp.rampType = static_cast<std::int32_t>(i);
        ramp.direction = c.direction == "v" ? kRampVertical : kRampHorizontal;
        ramp.rampFlags = static_cast<std::uint8_t>((hasFlag(c, "reverse") ? kRampReverse : 0) |
                                                   (hasFlag(c, "own") ? kRampOwnFrameSize : 0));
        ramp.originFlags = hasFlag(c, "noorigin") ? kRampIgnoreOrigin : 0;
        ramp.frameWidth = ownWidth;
        ramp.frameHeight = ownHeight;
        configure(ramp);
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(canvas.memory.data());
    return {bytes, bytes + canvas.memory.size() * sizeof(Pixel)};
}

std::string sha256(const std::vector<unsigned char>& bytes) {
    return testing::sha256Hex(bytes.data(), bytes.size());
}

std::vector<Case> readTable(std::vector<std::string>& comments) {
    std::ifstream in(PATTIX_FRAME_CHECKSUMS);
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            comments.push_back(line);
            continue;
        }
        std::istringstream fields(line);
        Case c;
        std::string size, origin;
        fields >> c.pattern >> c.direction >> c.depth >> size >> c.field >> c.region >> c.order >>
            origin >> c.flags >> c.sum;
        const auto wh = split(size, 'x');
        c.width = std::stoi(wh.at(0));
        c.height = std::stoi(wh.at(1));
        c.originY = std::stof(origin);
        c.line = line.substr(0, line.rfind(' '));
        cases.push_back(c);
    }
    return cases;
}

TEST(FrameChecksums, EveryListedFrameHasItsSumOnOneThreadAndOnThree) {
    std::vector<std::string> comments;
    const std::vector<Case> cases = readTable(comments);
    ASSERT_GE(cases.size(), 40u) << "cannot read " << PATTIX_FRAME_CHECKSUMS;
    const char* const rewrite = std::getenv("PATTIX_WRITE_CHECKSUMS");
    std::ostringstream table;
    for (const std::string& comment : comments) table << comment << "\n";
    setProcessorCountForTesting(3);
    for (const Case& c : cases) {
        const auto draw = c.depth == 16 ? &drawFrame<Rgba16> : &drawFrame<Rgba8>;
        const std::string alone = sha256(draw(c, false));
        const std::string split3 = sha256(draw(c, true));
        EXPECT_EQ(split3, alone) << c.line << ": three threads differ from one";
        if (rewrite == nullptr) {
            EXPECT_EQ(alone, c.sum) << c.line;
        }
        table << c.line << " " << alone << "\n";
    }
    setProcessorCountForTesting(0);
    if (rewrite != nullptr) std::ofstream(rewrite) << table.str();
}

}  // namespace
}  // namespace pattix
