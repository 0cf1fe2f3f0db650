// Whole-frame references: every line of frame_checksums.txt is one picture (pattern, direction,
// depth, size, field, region, row order, origin, flags) and the SHA-256 of its pixel bytes. Each
// frame is drawn on the calling thread, split over three threads, and tile by tile with a fresh
// generator per tile: all three must give the listed sum. Every frame is also held against the
// pixel rules below, written from the broadcast definitions and sharing nothing with the
// generators; they are what the sums were frozen from.
//
// After a deliberate change to a picture, regenerate the table (keeping its cases; the rules
// still check every frame) and review the diff:
//   PATTIX_WRITE_CHECKSUMS=tests/image/frame_checksums.txt
//     build/test/bin/image_tests --gtest_filter='FrameChecksums.*'
// (one command line).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plugin/image/col_bar_generator.hpp"
#include "plugin/image/parallel_runner.hpp"
#include "plugin/image/ramp_generator.hpp"
#include "tests/support/sha256.hpp"

namespace pattix {
namespace {

template <class Pixel>
Pixel rgba(int r, int g, int b, int a) {
    using C = typename Pixel::Component;
    return Pixel(static_cast<C>(r), static_cast<C>(g), static_cast<C>(b), static_cast<C>(a));
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// One line of the table. The picture is a bar pattern or a ramp type ("bars#N" and "ramp#N" give
// raw, possibly unknown numbers) drawn into a frame of its own size or the texture's.
struct Case {
    std::string line;  // as written, without its sum
    std::string field, order, sum;
    int depth = 8, width = 0, height = 0;
    float originY = 0.0f;
    std::map<std::string, std::string> flags;  // name to value, "" for a plain flag
    std::vector<int> window;                   // x, y, width, height; empty for the whole texture
    bool bars = false, horizontal = true, fromTop = false, reverse = false, own = false;
    int kind = 0, frameWidth = 0, frameHeight = 0, frameY = 0;
    int alpha = -1;  // full scale, as the render sets it

    bool has(const std::string& name) const { return flags.contains(name); }
    int number(const std::string& name) const { return has(name) ? std::stoi(flags.at(name)) : 0; }
};

Case parse(const std::string& line) {
    static const std::vector<std::string> kBars = {"ebu", "bars75", "bars100", "eia", "smpte"};
    static const std::vector<std::string> kRamps = {"rgb-ramp", "grey-ramp", "rgb-crossed",
                                                    "grey-crossed"};
    std::istringstream fields(line);
    Case c;
    std::string pattern, direction, size, region, origin, flags;
    fields >> pattern >> direction >> c.depth >> size >> c.field >> region >> c.order >> origin >>
        flags >> c.sum;
    c.line = line.substr(0, line.rfind(' '));
    c.width = std::stoi(split(size, 'x').at(0));
    c.height = std::stoi(split(size, 'x').at(1));
    c.originY = std::stof(origin);
    if (flags != "-")
        for (const std::string& flag : split(flags, ',')) {
            const auto equals = flag.find('=');
            c.flags[flag.substr(0, equals)] =
                equals == std::string::npos ? "" : flag.substr(equals + 1);
        }
    if (region != "-")
        for (const std::string& v : split(region, ',')) c.window.push_back(std::stoi(v));
    const auto bar = std::find(kBars.begin(), kBars.end(), pattern);
    const auto ramp = std::find(kRamps.begin(), kRamps.end(), pattern);
    c.bars = bar != kBars.end() || pattern.starts_with("bars#");
    c.kind = bar != kBars.end()     ? static_cast<int>(bar - kBars.begin())
             : ramp != kRamps.end() ? static_cast<int>(ramp - kRamps.begin())
                                    : std::stoi(pattern.substr(5));
    c.horizontal = direction != "v";
    c.fromTop = c.has("fromtop");
    c.reverse = c.has("reverse");
    c.own = c.has("own");
    c.frameWidth = c.own ? std::stoi(split(c.flags.at("own"), 'x')[0]) : c.width;
    c.frameHeight = c.own ? std::stoi(split(c.flags.at("own"), 'x')[1]) : c.height;
    c.frameY = c.has("noorigin") ? 0 : static_cast<int>(c.originY);  // truncated toward zero
    if (c.has("alpha")) c.alpha = c.number("alpha");
    return c;
}

// ---- the pixel rules -----------------------------------------------------------------------

template <class Pixel>
Pixel sentinel() {
    return rgba<Pixel>(7, 7, 7, 7);
}

enum Strip { kMain, kReverse, kSubBand };

// Bar k of a strip. The main bars: white, yellow, cyan, green, magenta, red, blue, black, at 75%
// except in 100% bars and the EBU white; the SMPTE reverse strip at 75%: blue, black, magenta,
// black, cyan, black, white, black; the sub-band: -I, 100% white, +Q, then black.
template <class Pixel>
Pixel barColour(int pattern, Strip strip, int k, int alpha) {
    static constexpr int kOn[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                      {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    const int full = Pixel::unitValue;
    const bool narrow = sizeof(Pixel) == sizeof(Rgba8);
    k = std::min(k, 7);
    if (strip == kSubBand) {
        if (k == 0)
            return narrow ? rgba<Pixel>(0, 18, 15, alpha) : rgba<Pixel>(0, 1163, 966, alpha);
        if (k == 2)
            return narrow ? rgba<Pixel>(17, 0, 67, alpha) : rgba<Pixel>(1097, 0, 4308, alpha);
        return k == 1 ? rgba<Pixel>(full, full, full, alpha) : rgba<Pixel>(0, 0, 0, alpha);
    }
    const int bar = strip == kMain ? k : (k % 2 == 1 ? 7 : 6 - k);
    const bool fullBar = strip == kMain && (pattern == kBars100 || (pattern == kEbuBars && k == 0));
    const int level = fullBar ? full : full * 3 / 4;
    return rgba<Pixel>(kOn[bar][0] * level, kOn[bar][1] * level, kOn[bar][2] * level, alpha);
}

// Frame row r counts up from the frame's first row (down from its last, counting from the top).
// Outside the frame all is zero, alpha too; an unknown pattern leaves the frame alone.
template <class Pixel>
Pixel barsRule(const Case& p, int x, int y) {
    const int r = p.fromTop ? p.frameHeight - 1 + p.frameY - y : y - p.frameY;
    if (x < 0 || x >= p.frameWidth || r < 0 || r >= p.frameHeight) return Pixel{};
    if (p.kind < kEbuBars || p.kind > kSmpteBars) return sentinel<Pixel>();
    Strip strip = kMain;
    if (p.kind >= kEiaBars && 4 * r <= p.frameHeight)
        strip = kSubBand;
    else if (p.kind == kSmpteBars && r <= 0.3298611 * p.frameHeight)
        strip = kReverse;
    return barColour<Pixel>(p.kind, strip, x / std::max(p.frameWidth / 8, 1),
                            p.alpha < 0 ? Pixel::unitValue : p.alpha);
}

// The ramp runs along t over length L; the bands lie along s: red, green, blue thirds, grey, and
// for the crossed ramps every other sixth (RGB) or half (grey) running backwards. The level of
// position p is trunc(full x p / L + 0.5). Outside the frame, and for unknown types, black.
template <class Pixel>
Pixel rampRule(const Case& p, int x, int y) {
    const int full = Pixel::unitValue;
    const int alpha = p.alpha < 0 ? full : p.alpha;
    int r = y - p.frameY;
    if (!p.horizontal && p.reverse) r = p.frameHeight - r - 1;
    const int t = p.horizontal ? x : r;
    const int rampLength = p.horizontal ? p.frameWidth : p.frameHeight;
    const int s = p.horizontal ? r : x;
    const int bandLength = p.horizontal ? p.frameHeight : p.frameWidth;
    const Pixel black = rgba<Pixel>(0, 0, 0, alpha);
    if (s < 0 || s >= bandLength || t < 0 || t >= rampLength) return black;

    const float S = static_cast<float>(bandLength);
    const bool reverseBands = p.horizontal && p.reverse;
    int band = -1;  // 0 red, 1 green, 2 blue; 3 grey
    bool backwards = false;
    switch (p.kind) {
        case kRgbRamp:
            band = static_cast<int>(static_cast<float>(s) / std::max(S / 3.0f, 1.0f));
            break;
        case kGreyRamp:
            band = 3;
            break;
        case kRgbCrossedRamp:
            band = static_cast<int>(static_cast<double>(s) / static_cast<double>(S / 3.0f));
            backwards = static_cast<int>(static_cast<float>(s) / std::max(S / 6.0f, 1.0f)) % 2;
            break;
        case kGreyCrossedRamp:
            band = 3;
            backwards = static_cast<int>(static_cast<float>(s) / std::max(S / 2.0f, 1.0f)) % 2;
            break;
        default:
            return black;
    }
    if (reverseBands && band < 3) band = 2 - band;
    const bool on[3] = {band == 0 || band == 3, band == 1 || band == 3, band == 2 || band == 3};
    const int position = backwards ? rampLength - t - 1 : t;
    const int value = static_cast<int>(
        std::clamp(static_cast<double>(full) * position / rampLength + 0.5, 0.0, double(full)));
    return rgba<Pixel>(on[0] ? value : 0, on[1] ? value : 0, on[2] ? value : 0, alpha);
}

// Every pixel of a frame against the rules: untouched outside the region, off the field's
// rows (parity of the absolute row) and, after a stop, past the rows drawn before it.
template <class Pixel>
void expectRules(const Case& c, const std::vector<Pixel>& memory) {
    const std::vector<int>& w = c.window;
    const int x0 = c.number("xstart"), y0 = c.number("ystart"), stop = c.number("stop");
    for (int m = 0; m < c.height; ++m) {  // memory rows
        const int y = y0 + (c.order == "top" ? c.height - 1 - m : m);
        const bool rowDrawn = (w.empty() || (y >= w[1] && y < w[1] + w[3])) &&
                              (c.field != "first" || (y & 1) == 0) &&
                              (c.field != "second" || (y & 1) == 1) && (stop == 0 || m < stop - 1);
        for (int i = 0; i < c.width; ++i) {
            const int x = x0 + i;
            const bool drawn = rowDrawn && (w.empty() || (x >= w[0] && x < w[0] + w[2]));
            const Pixel want = !drawn   ? sentinel<Pixel>()
                               : c.bars ? barsRule<Pixel>(c, x, y)
                                        : rampRule<Pixel>(c, x, y);
            if (!(memory[static_cast<std::size_t>(m) * c.width + i] == want)) {
                ADD_FAILURE() << c.line << ": not as the rule says at column " << x << ", row "
                              << y;
                return;
            }
        }
    }
}

// ---- drawing -------------------------------------------------------------------------------

// Calls use(generator) with a fresh generator configured as the line says.
template <class Pixel, class Use>
void withGenerator(const Case& c, Use use) {
    constexpr bool narrow = sizeof(Pixel) == sizeof(Rgba8);
    if (c.bars) {
        std::conditional_t<narrow, KtColBarGenerator8, KtColBarGenerator16> bars;
        bars.pattern = c.kind;
        bars.barFlags = static_cast<std::uint8_t>((c.fromTop ? kBarsCountFromTop : 0) |
                                                  (c.has("noorigin") ? kBarsIgnoreOrigin : 0) |
                                                  (c.own ? kBarsOwnFrameSize : 0));
        bars.frameWidth = c.frameWidth;
        bars.frameHeight = c.frameHeight;
        if (c.alpha >= 0) bars.alphaValue = c.alpha;
        use(bars);
    } else {
        std::conditional_t<narrow, KtRampGenerator8, KtRampGenerator16> ramp;
        ramp.rampType = c.kind;
        ramp.direction = c.horizontal ? kRampHorizontal : kRampVertical;
        ramp.rampFlags = static_cast<std::uint8_t>((c.reverse ? kRampReverse : 0) |
                                                   (c.own ? kRampOwnFrameSize : 0));
        ramp.originFlags = c.has("noorigin") ? kRampIgnoreOrigin : 0;
        ramp.frameWidth = c.frameWidth;
        ramp.frameHeight = c.frameHeight;
        if (c.alpha >= 0) ramp.alphaValue = c.alpha;
        use(ramp);
    }
}

// A host whose stop answer comes once, at poll number `at` (the poll before the pass is 0):
// every later poll, on any thread, must remember it.
struct StopOnce {
    std::atomic<int> polls{0};
    int at = 0;
    static int answer(void* self, void*) {
        auto& stop = *static_cast<StopOnce*>(self);
        return stop.polls.fetch_add(1) == stop.at ? 1 : 0;
    }
};

enum class Way { Alone, Split, Tiles };

template <class Pixel>
std::vector<Pixel> draw(const Case& c, Way way) {
    // Memory rows of a "top" line run from the picture's top, as in the 16-bit host buffer.
    std::vector<Pixel> memory(static_cast<std::size_t>(c.width) * c.height, sentinel<Pixel>());
    const bool up = c.order == "top";
    KtTexture<Pixel, WorkColour> texture;
    texture.setSize(c.width, c.height);
    texture.data = memory.data() + (up ? static_cast<std::size_t>(c.height - 1) * c.width : 0);
    texture.rowBytes = static_cast<std::int32_t>(c.width * sizeof(Pixel)) * (up ? -1 : 1);
    texture.setOrigin(0.0f, c.originY);
    texture.xAxis.start = c.number("xstart");
    texture.yAxis.start = c.number("ystart");
    StopOnce stop;
    stop.at = c.number("stop");
    KtInterruptRecord record{&stop, &StopOnce::answer, 0};
    auto process = [&](auto& generator, const std::vector<int>& w) {
        if (way == Way::Alone) generator.imagerFlags |= kImagerNoThreads;
        if (stop.at > 0) generator.interrupt = &record;
        generator.setFieldMode(c.field == "first" ? 1 : c.field == "second" ? 2 : 0);
        if (!w.empty()) generator.setWindow(w[0], w[1], w[0] + w[2] - 1, w[1] + w[3] - 1);
        generator.process(&texture);
    };
    if (way != Way::Tiles) {
        withGenerator<Pixel>(c, [&](auto& g) { process(g, c.window); });
        return memory;
    }
    const int tileWidth = c.width / 3 + 1, tileHeight = c.height / 4 + 1;
    for (int y = 0; y < c.height; y += tileHeight)
        for (int x = 0; x < c.width; x += tileWidth)
            withGenerator<Pixel>(c, [&](auto& g) {
                process(g,
                        {texture.xAxis.start + x, texture.yAxis.start + y, tileWidth, tileHeight});
            });
    return memory;
}

template <class Pixel>
std::string sumOf(const std::vector<Pixel>& memory) {
    return testing::sha256Hex(memory.data(), memory.size() * sizeof(Pixel));
}

std::vector<Case> readTable(std::vector<std::string>& comments) {
    std::ifstream in(PATTIX_FRAME_CHECKSUMS);
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            comments.push_back(line);
            continue;
        }
        cases.push_back(parse(line));
    }
    return cases;
}

class FrameChecksums : public ::testing::Test {
protected:
    void SetUp() override {
        setSplitThresholdForTesting(0);   // workers draw even small frames
        setRepeatThresholdForTesting(0);  // and repeat even short runs of alike rows
    }
    void TearDown() override {
        setProcessorCountForTesting(0);
        setSplitThresholdForTesting(kSplitWorthBytes);
        setRepeatThresholdForTesting(kRepeatWorthBytes);
    }

    template <class Pixel>
    static std::string check(const Case& c) {
        setProcessorCountForTesting(3);
        const std::vector<Pixel> alone = draw<Pixel>(c, Way::Alone);
        const std::string sum = sumOf(alone);
        expectRules(c, alone);
        if (c.has("stop")) return sum;  // where threads stop depends on their pace
        EXPECT_EQ(sumOf(draw<Pixel>(c, Way::Split)), sum) << c.line << ": three threads";
        setProcessorCountForTesting(2);
        if (c.window.empty()) {
            EXPECT_EQ(sumOf(draw<Pixel>(c, Way::Tiles)), sum) << c.line << ": tiles";
        }
        return sum;
    }
};

TEST_F(FrameChecksums, EveryListedFrameHasItsSumAloneSplitAndTiledAndFollowsTheRules) {
    std::vector<std::string> comments;
    const std::vector<Case> cases = readTable(comments);
    ASSERT_GE(cases.size(), 60u) << "cannot read " << PATTIX_FRAME_CHECKSUMS;
    const char* const rewrite = std::getenv("PATTIX_WRITE_CHECKSUMS");
    std::ostringstream table;
    for (const std::string& comment : comments) table << comment << "\n";
    for (const Case& c : cases) {
        const std::string sum = c.depth == 16 ? check<Rgba16>(c) : check<Rgba8>(c);
        if (rewrite == nullptr) {
            EXPECT_EQ(sum, c.sum) << c.line;
        }
        table << c.line << " " << sum << "\n";
    }
    if (rewrite != nullptr) std::ofstream(rewrite) << table.str();
}

// Runs are one at a time in the process: two host threads drawing at once each get their frames.
TEST_F(FrameChecksums, TwoHostThreadsDrawingAtOnceEachGetTheirFrames) {
    std::vector<std::string> comments;
    std::vector<Case> cases = readTable(comments);
    std::erase_if(cases, [](const Case& c) { return c.has("stop") || c.width * c.height > 50000; });
    setProcessorCountForTesting(2);
    auto host = [&cases] {
        for (const Case& c : cases) {
            const std::string sum = c.depth == 16 ? sumOf(draw<Rgba16>(c, Way::Split))
                                                  : sumOf(draw<Rgba8>(c, Way::Split));
            EXPECT_EQ(sum, c.sum) << c.line;
        }
    };
    std::thread first(host), second(host);
    first.join();
    second.join();
}

// An unknown pattern leaves the frame's pixels as they were, also where alike rows are repeated:
// rows it does not paint are never copied over one another. Every row differs here, unlike the
// table's uniform sentinel.
TEST_F(FrameChecksums, UnknownBarPatternLeavesEveryRowAsItWas) {
    constexpr int kWidth = 16, kHeight = 8;
    std::vector<Rgba8> memory;
    for (int i = 0; i < kWidth * kHeight; ++i)
        memory.emplace_back(static_cast<unsigned char>(i), 1, 2, 3);
    const std::vector<Rgba8> before = memory;
    KtTexture<Rgba8, WorkColour> texture;
    texture.setSize(kWidth, kHeight);
    texture.data = memory.data();
    texture.rowBytes = kWidth * static_cast<std::int32_t>(sizeof(Rgba8));
    KtColBarGenerator8 bars;
    bars.pattern = 5;
    bars.process(&texture);
    EXPECT_EQ(sumOf(memory), sumOf(before));
}

}  // namespace
}  // namespace pattix
